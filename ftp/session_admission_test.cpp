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

TEST(SessionAdmissionTest, EachAddressOfEitherFamilyHasItsOwnCount) {
  CSessionAdmission admission;
  FtpSessionLimits limits;
  limits.perAddress = 1;
  limits.total = 3;
  admission.SetLimits(limits);
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::1")), CSessionAdmission::kAdmitted);
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::1")), CSessionAdmission::kTooManyFromAddress);
  // An IPv4 client is one address whichever socket it came through.
  EXPECT_EQ(admission.TryAdmit(Address("192.168.0.9")), CSessionAdmission::kAdmitted);
  EXPECT_EQ(admission.TryAdmit(Address("::ffff:192.168.0.9")),
            CSessionAdmission::kTooManyFromAddress);
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::2")), CSessionAdmission::kAdmitted);
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::3")), CSessionAdmission::kTooManyInAll);
  admission.Release(Address("2001:db8::1"));
  EXPECT_EQ(admission.TryAdmit(Address("2001:db8::1")), CSessionAdmission::kAdmitted);
  EXPECT_EQ(admission.Total(), 3);
}

}  // namespace
}  // namespace kestova
