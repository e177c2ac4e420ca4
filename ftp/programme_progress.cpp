#include "ftp/programme_progress.h"

namespace kestova {

ProgressFigures ComputeProgress(uint64_t receivedBytes, uint64_t titleSize, uint32_t elapsedMs) {
  ProgressFigures figures;
  uint64_t elapsedSeconds = (static_cast<uint64_t>(elapsedMs) + 1) / 1000 + 1;
  figures.elapsedSeconds = static_cast<uint32_t>(elapsedSeconds);
  figures.rateKiBPerSecond = static_cast<uint32_t>(receivedBytes / elapsedSeconds / 1024);

  uint64_t receivedKiB = receivedBytes / 1024;
  uint64_t expectedKiB = 2 * titleSize;
  figures.receivedMiB = receivedBytes / 1048576;
  figures.expectedMiB = expectedKiB / 1024;

  if (expectedKiB <= receivedKiB) {
    figures.remainingSeconds = 0;
  } else if (figures.rateKiBPerSecond == 0) {
    figures.remainingKnown = false;
  } else {
    uint64_t remaining = (expectedKiB - receivedKiB) / figures.rateKiBPerSecond;
    figures.remainingSeconds =
        remaining > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(remaining);
  }

  if (titleSize != 0) {
    figures.percentageKnown = true;
    figures.percentage =
        static_cast<double>(receivedBytes) / 2048.0 / static_cast<double>(titleSize) * 100.0;
  }
  return figures;
}

ProgressTexts FormatProgress(const ProgressFigures& figures) {
  ProgressTexts texts;
  texts.size =
      CCountedString::Format("%llu/%llu", static_cast<unsigned long long>(figures.receivedMiB),
                             static_cast<unsigned long long>(figures.expectedMiB));
  texts.elapsed =
      CCountedString::Format("%u:%02u", figures.elapsedSeconds / 60, figures.elapsedSeconds % 60);
  texts.percentage = figures.percentageKnown ? CCountedString::Format("%2.2f", figures.percentage)
                                             : CCountedString("--.--");
  texts.remaining = figures.remainingKnown
                        ? CCountedString::Format("%u:%02u", figures.remainingSeconds / 60,
                                                 figures.remainingSeconds % 60)
                        : CCountedString("--:--");
  texts.rate = CCountedString::Format("%u", figures.rateKiBPerSecond);
  return texts;
}

}  // namespace kestova
