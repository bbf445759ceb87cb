#include "host/OperationAdmission.h"

#include <gtest/gtest.h>

namespace vantrel::host {
namespace {

TEST(OperationAdmissionTest, AdmitsUpToTheLimitAndFreesPlacesOnLeaving) {
    OperationAdmission admission(2);
    {
        OperationAdmission::Ticket first(admission), second(admission), third(admission);
        EXPECT_TRUE(first.Admitted());
        EXPECT_TRUE(second.Admitted());
        EXPECT_FALSE(third.Admitted());
    }
    OperationAdmission::Ticket again(admission);
    EXPECT_TRUE(again.Admitted());
}

}  // namespace
}  // namespace vantrel::host
