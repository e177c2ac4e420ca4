#include "linux/status/reception_board.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

TEST(ReceptionBoardTest, RecordsAreKeptByIdAndEndOnce) {
  CReceptionBoard board;
  BoardRecord record;
  record.id = 42;
  BoardRecord stored;
  EXPECT_FALSE(board.Apply(record, &stored));  // receiving
  EXPECT_NE(stored.startedAt, 0);
  EXPECT_EQ(stored.endedAt, 0);
  record.receivedBytes = 100;
  EXPECT_FALSE(board.Apply(record));
  record.state = BoardState::kInterrupted;
  EXPECT_TRUE(board.Apply(record, &stored));  // ends here
  EXPECT_NE(stored.endedAt, 0);
  EXPECT_FALSE(board.Apply(record));  // a repeated end is no new end
  uint64_t version = 0;
  const std::vector<BoardRecord> records = board.Snapshot(&version);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].receivedBytes, 100u);
  EXPECT_EQ(version, 4u);

  for (uint64_t id = 1000; id < 1000 + CReceptionBoard::kMaxRecords; ++id) {
    record.id = id;
    board.Apply(record);
  }
  const std::vector<BoardRecord> newest = board.Snapshot();
  ASSERT_EQ(newest.size(), CReceptionBoard::kMaxRecords);
  EXPECT_EQ(newest.front().id, 1000u);  // id 42 has left the board
}

}  // namespace
}  // namespace kestova
