"""Two network namespaces of a test's own, joined by a veth pair: the recorder's side
10.N.0.1 and the destination's side 10.N.0.2 on a /24 with broadcasts."""
import os
import subprocess

from ftp_e2e_support import Scratch


def ip(*args):
    return subprocess.run(["ip"] + list(args), stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=20).returncode


class VethNamespaces:
    """A TestCase mixin. setUp makes `ns_rec`/`ns_dst` joined by `veth_rec`/`veth_dst` (10.SUBNET.
    0.1 and .2) and a `scratch` folder, or skips when the machine cannot; tearDown calls
    `stop_programs` and removes both namespaces with everything in them."""

    TAG = "kx"
    SUBNET = 213

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("needs root for network namespaces")
        tag = "%s%x" % (self.TAG, os.getpid() & 0xFFFFF)
        self.ns_rec, self.ns_dst = tag + "-rec", tag + "-dst"
        self.veth_rec, self.veth_dst = tag + "r", tag + "d"
        self.broadcast = "10.%d.0.255" % self.SUBNET
        self.scratch = Scratch()
        if ip("netns", "add", self.ns_rec) != 0:
            self.scratch.cleanup()
            self.skipTest("cannot create network namespaces")
        self.addCleanup(self._remove)
        ip("netns", "add", self.ns_dst)
        for ns in (self.ns_rec, self.ns_dst):
            ip("-n", ns, "link", "set", "lo", "up")
        self.assertTrue(self.make_link())

    def make_link(self):
        """(Re)creates the veth pair with its addresses; True when every step worked."""
        steps = [
            ("link", "add", self.veth_rec, "netns", self.ns_rec, "type", "veth", "peer", "name",
             self.veth_dst, "netns", self.ns_dst),
            ("-n", self.ns_rec, "addr", "add", "10.%d.0.1/24" % self.SUBNET, "brd", "+", "dev",
             self.veth_rec),
            ("-n", self.ns_dst, "addr", "add", "10.%d.0.2/24" % self.SUBNET, "brd", "+", "dev",
             self.veth_dst),
            ("-n", self.ns_rec, "link", "set", self.veth_rec, "up"),
            ("-n", self.ns_dst, "link", "set", self.veth_dst, "up")]
        return all(ip(*step) == 0 for step in steps)

    def stop_programs(self):
        """Overridden to stop what the test started inside the namespaces."""

    def _remove(self):
        self.stop_programs()
        ip("netns", "del", self.ns_rec)
        ip("netns", "del", self.ns_dst)
        self.scratch.cleanup()
