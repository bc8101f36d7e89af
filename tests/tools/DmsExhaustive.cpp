// Every DMS text the store can write for 0 to 199 degrees (each whole second with each of the 256
// fractions) through the coordinate conversion, compared with the exact reference. Prints the
// mismatches (there must be none) and how often the two-stage rounding differs from rounding once.
// Usage: quorvel-dms-exhaustive [threads] [max degrees]
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/DmsToDegreeText.h"
#include "mempoint/CMemPointStore.h"
#include "support/DmsReference.h"

namespace {
struct Tally {
    std::uint64_t texts = 0;
    std::uint64_t mismatches = 0;
    std::uint64_t doubleRounded = 0;
};

std::mutex g_printing;

void Check(std::uint32_t firstSecond, std::uint32_t endSecond, Tally& tally) {
    char dms[16];
    CString text;
    for (std::uint32_t second = firstSecond; second < endSecond; ++second) {
        for (std::uint32_t fraction = 0; fraction < 256; ++fraction) {
            CMemPointStore::FormatDms(dms, second * 256 + fraction);
            text = dms;
            DmsToDegreeText(text);
            const dmsref::Rounded exact = dmsref::RoundTotal(dmsref::TotalOf(dms));
            ++tally.texts;
            if (exact.twoStage != exact.once) ++tally.doubleRounded;
            if (text.Str() != dmsref::DegreeText(exact.twoStage)) {
                if (++tally.mismatches <= 20) {
                    std::lock_guard<std::mutex> lock(g_printing);
                    std::printf("MISMATCH '%s': %s, exactly %s\n", dms, text.GetString(), dmsref::DegreeText(exact.twoStage).c_str());
                }
            }
        }
    }
}
}  // namespace

int main(int argc, char** argv) {
    const int threads = argc > 1 ? std::atoi(argv[1]) : 2;
    const int degrees = argc > 2 ? std::atoi(argv[2]) : 200;
    if (threads < 1 || degrees < 1 || degrees > 200) {
        std::fprintf(stderr, "usage: %s [threads] [degrees 1-200]\n", argv[0]);
        return 2;
    }
    const std::uint32_t seconds = static_cast<std::uint32_t>(degrees) * 3600;
    // Interleaved blocks of one degree keep the threads equally busy.
    std::vector<Tally> tallies(static_cast<std::size_t>(threads));
    std::atomic<std::uint32_t> nextDegree{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (std::uint32_t d; (d = nextDegree.fetch_add(1)) < static_cast<std::uint32_t>(degrees);)
                Check(d * 3600, d * 3600 + 3600 < seconds ? d * 3600 + 3600 : seconds, tallies[static_cast<std::size_t>(t)]);
        });
    }
    for (std::thread& worker : workers) worker.join();
    Tally total;
    for (const Tally& tally : tallies) {
        total.texts += tally.texts;
        total.mismatches += tally.mismatches;
        total.doubleRounded += tally.doubleRounded;
    }
    std::printf("texts %llu, mismatches %llu, double-rounding cases %llu\n", static_cast<unsigned long long>(total.texts),
                static_cast<unsigned long long>(total.mismatches), static_cast<unsigned long long>(total.doubleRounded));
    return total.mismatches == 0 ? 0 : 1;
}
