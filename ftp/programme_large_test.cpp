// A programme larger than 4 GiB received over loopback: the byte counters, the file
// and the progress texts must all be right past 2^32. When the disk lacks room for
// that, a 300 MiB programme is used instead (the counters are 64-bit either way).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ftp/programme_reception.h"
#include "ftp/test_support/dubbing_doubles.h"
#include "ftp/test_support/raw_ftp_client.h"
#include "net/event_socket.h"
#include "platform/file_system.h"
#include "platform/test_support/scratch_folder.h"

#ifndef _WIN32
#include <sys/statvfs.h>
#endif

namespace kestova {
namespace {

constexpr uint32_t kChunk = 65536;
constexpr uint64_t kLargeSize = (4ull << 30) + (3ull << 20) + 12345;  // past 2^32
constexpr uint64_t kFallbackSize = 300ull << 20;
constexpr uint64_t kSpareRoom = 2ull << 30;

// Chunk `index` of the stream: xorshift bytes seeded by the index, title in chunk 0.
void FillChunk(uint64_t index, char* chunk) {
  uint64_t state = 0x9E3779B97F4A7C15ull ^ (index * 0xBF58476D1CE4E5B9ull) ^ 1;
  for (uint32_t at = 0; at < kChunk; at += 8) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::memcpy(chunk + at, &state, 8);
  }
  if (index == 0) {
    std::memset(chunk + 132, 0, 64);
    std::memcpy(chunk + 132, "HUGE", 4);
  }
}

uint64_t FreeBytesAt(const CCountedString& folder) {
#ifdef _WIN32
  (void)folder;
  return 0;
#else
  struct statvfs info;
  if (statvfs(folder.CStr(), &info) != 0) return 0;
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
#endif
}

TEST(ProgrammeLarge, StreamPastFourGigabytesIsCountedAndSavedExactly) {
  testing::CScratchFolder folder;
  const bool roomy = FreeBytesAt(folder.Path()) > kLargeSize + kSpareRoom;
  const uint64_t size = roomy ? kLargeSize : kFallbackSize;
  if (!roomy)
    std::printf("not enough free disk space: receiving %llu bytes instead\n",
                static_cast<unsigned long long>(size));

  CEventSocket client, server;
  ASSERT_TRUE(testing::ConnectLoopbackPair(client, server));
  std::thread sender([&] {
    std::vector<char> chunk(kChunk);
    for (uint64_t sent = 0, index = 0; sent < size; sent += kChunk, ++index) {
      FillChunk(index, chunk.data());
      uint32_t length = static_cast<uint32_t>(size - sent < kChunk ? size - sent : kChunk);
      if (!testing::SendAll(client, std::string(chunk.data(), length))) break;
    }
    client.Close();
  });

  testing::CReceptionRecorder recorder;
  testing::CSocketLink link(server);
  ProgrammeReceptionSetup setup;
  setup.rootFolder = folder.Path();
  setup.titleSize = (size + 2047) / 2048;
  setup.observer = &recorder;
  ProgrammeReceptionResult result = ReceiveProgramme(link, setup);
  sender.join();
  server.Close();

  EXPECT_EQ(ReceptionOutcome::kReceived, result.outcome);
  EXPECT_EQ(size, result.receivedBytes);
  const std::vector<ReceptionEvent> events = recorder.Events();
  ASSERT_FALSE(events.empty());
  // The final report: sizes in MiB and 100 percent.
  const unsigned long long mib = size / 1048576;
  const unsigned long long expectedMib = setup.titleSize * 2 / 1024;
  const ProgressTexts texts = FormatProgress(events.back().figures);
  EXPECT_EQ(std::to_string(mib) + "/" + std::to_string(expectedMib), texts.size.CStr());
  EXPECT_EQ("100.00", texts.percentage);

  // The file, compared chunk by chunk with what was sent.
  CFile file;
  ASSERT_TRUE(file.OpenForRead(folder.PathOf("HUGE.MPG")));
  std::vector<char> expected(kChunk), actual(kChunk);
  uint64_t compared = 0;
  for (uint64_t index = 0; compared < size; ++index) {
    FillChunk(index, expected.data());
    uint32_t want = static_cast<uint32_t>(size - compared < kChunk ? size - compared : kChunk);
    uint32_t got = 0, total = 0;
    while (total < want && file.Read(actual.data() + total, want - total, &got) && got > 0) {
      total += got;
    }
    ASSERT_EQ(want, total) << "file ends early at " << compared;
    ASSERT_EQ(0, std::memcmp(expected.data(), actual.data(), want)) << "differs in chunk " << index;
    compared += want;
  }
  uint32_t extra = 0;
  EXPECT_TRUE(file.Read(actual.data(), kChunk, &extra));
  EXPECT_EQ(0u, extra) << "file longer than the stream";
  file.Close();
}

}  // namespace
}  // namespace kestova
