// Session caps per client address, with addresses of both families.
#include "ftp/session_admission.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

IpAddress Address(const char* text) {
  IpAddress address;
  EXPECT_TRUE(ParseIpAddress(text, &address)) << text;
  return address;
}

// Per-address caps count addresses of either family; at the total, a session busy with a
// command is never evicted, so a newcomer is refused only when every session is busy.
TEST(SessionAdmissionTest, EachAddressOfEitherFamilyHasItsOwnCount) {
  CSessionAdmission admission;
  FtpSessionLimits limits;
  limits.perAddress = 1;
  limits.total = 3;
  admission.SetLimits(limits);
  CAdmissionPlace* places[3] = {};
  CAdmissionPlace* refused = nullptr;
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::1"), &places[0]), CSessionAdmission::kAdmitted);
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::1"), &refused),
            CSessionAdmission::kTooManyFromAddress);
  // An IPv4 client is one address whichever socket it came through.
  EXPECT_EQ(admission.TryAdmit(Address("192.168.0.9"), &places[1]), CSessionAdmission::kAdmitted);
  EXPECT_EQ(admission.TryAdmit(Address("::ffff:192.168.0.9"), &refused),
            CSessionAdmission::kTooManyFromAddress);
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::2"), &places[2]), CSessionAdmission::kAdmitted);
  for (CAdmissionPlace* place : places) place->MarkCommandStart();
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::3"), &refused), CSessionAdmission::kTooManyInAll);
  EXPECT_EQ(nullptr, refused);
  admission.Release(places[0]);
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::1"), &places[0]), CSessionAdmission::kAdmitted);
  EXPECT_EQ(admission.Total(), 3);
}

}  // namespace
}  // namespace kestova
