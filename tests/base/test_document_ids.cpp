#include "base/uDocumentIds.h"
#include "base/uErrors.h"

#include <gtest/gtest.h>

TEST(DocumentIds, ReserveMovesPastAndNeverBack)
{
    TIdCounter ids("Scene node id space exhausted");
    EXPECT_EQ(ids.Allocate(), 1u);
    ids.Reserve(5);
    ids.Reserve(900);
    EXPECT_EQ(ids.Allocate(), 901u);
    ids.Reserve(3);
    ids.Reserve(kNoId);
    EXPECT_EQ(ids.Allocate(), 902u);
}

TEST(DocumentIds, ExhaustionRaisesTheKindsMessage)
{
    TIdCounter ids("Floor id space exhausted");
    ids.Reserve(0xFFFFFFFEu);
    try {
        ids.Allocate();
        FAIL() << "no error";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Floor id space exhausted");
    }
}

TEST(DocumentIds, GlobalCountersAreIndependent)
{
    const uint32_t node = AllocateSceneNodeId();
    ReserveModifierId(AllocateModifierId() + 1000);
    EXPECT_EQ(AllocateSceneNodeId(), node + 1);
}
