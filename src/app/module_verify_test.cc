#include "app/module_verify.h"

#include <gtest/gtest.h>

#include <vector>

namespace r7k {
namespace {

TEST(WriteVerifier, ABytesCountsOnceAnyReadBackShowsItRight) {
  const std::vector<uint8_t> file(196608, 0x11);
  std::vector<uint8_t> module(524288, 0xFF);
  std::copy(file.begin(), file.end(), module.begin());
  WriteVerifier verifier(file);
  EXPECT_FALSE(verifier.verified()) << "nothing read back yet";
  module[0x1A2B3] = 0x10;
  module[0x1A2B4] = 0x12;
  verifier.Add(module);
  EXPECT_EQ(verifier.open(), 2u);
  EXPECT_EQ(verifier.Message(),
            "Verify failed: 2 bytes differ in every read-back; the first at address 0x01A2B3 "
            "(file 0x11, module 0x10).");
  // The next read-back is damaged elsewhere: what it shows right settles only its part.
  module[0x1A2B3] = 0x11;
  module[0x00010] = 0x00;
  verifier.Add(module);
  EXPECT_EQ(verifier.open(), 1u);
  EXPECT_EQ(verifier.Message(),
            "Verify failed: 1 byte differs in every read-back; the first at address 0x01A2B4 "
            "(file 0x11, module 0x12).");
  module[0x1A2B4] = 0x11;
  verifier.Add(module);
  EXPECT_TRUE(verifier.verified()) << "the rest of the module was not written";
  EXPECT_EQ(verifier.Message(), "Verified: the module holds the file's 196608 bytes.");
}

TEST(WriteVerifier, AShortReadBackShowsNothingBeyondItsEnd) {
  WriteVerifier verifier(std::vector<uint8_t>(524288, 0x5A));
  verifier.Add(std::vector<uint8_t>(100, 0x5A));
  EXPECT_EQ(verifier.Message(), "Verify failed: the module read back ends at 0x000064.");
  verifier.Add({});
  EXPECT_FALSE(verifier.verified());
}

TEST(Settle, EachByteByTheTwoReadsThatAgree) {
  std::vector<uint8_t> a(1000, 7), b = a, c = a;
  a[1] = 1;  // each read damaged at its own place
  b[500] = 2;
  c[999] = 3;
  EXPECT_EQ(Settle(a, b, c), std::vector<uint8_t>(1000, 7));
  EXPECT_EQ(CountDifferences(a, b), 2u);
  c[1] = 4;  // three values at one address: nothing to go by
  EXPECT_EQ(Settle(a, b, c), std::nullopt);
  c[1] = 1;  // two reads damaged alike outvote the third
  EXPECT_EQ(Settle(a, b, c).value()[1], 1);
  EXPECT_EQ(Settle(a, b, std::span(c).first(999)), std::nullopt) << "a read that ended early";
  EXPECT_EQ(CountDifferences(a, std::span(a).first(990)), 10u);
}

TEST(VerifyRun, ReadsAgainUntilTheReadsAgreeOrGivesUp) {
  const std::vector<uint8_t> module(1000, 7);
  std::vector<uint8_t> damaged = module;
  damaged[10] = 8;
  VerifyRun settle(VerifyRun::Kind::kSettle);
  EXPECT_EQ(AddRead(settle, module).note, "Reading the module a second time to compare...");
  EXPECT_EQ(AddRead(settle, damaged).note,
            "The two reads differ in 1 bytes; reading a third time to settle them...");
  damaged[10] = 7;
  damaged[20] = 9;
  const VerifyStep third = AddRead(settle, damaged);
  EXPECT_EQ(third.next, VerifyStep::Next::kDone);
  EXPECT_EQ(third.image, module);

  VerifyRun agree(VerifyRun::Kind::kSettle);
  AddRead(agree, module);
  EXPECT_EQ(AddRead(agree, module).note, "Compared: the two reads agree.");

  // A byte the flash did not take reads wrong in every read-back.
  VerifyRun back(module);
  EXPECT_EQ(back.note, "Reading the module back to compare it...");
  EXPECT_EQ(AddRead(back, damaged).next, VerifyStep::Next::kReadAgain);
  EXPECT_EQ(AddRead(back, damaged).next, VerifyStep::Next::kReadAgain);
  const VerifyStep last = AddRead(back, damaged);
  EXPECT_EQ(last.next, VerifyStep::Next::kFailed);
  EXPECT_EQ(last.failure,
            "Verify failed: 1 byte differs in every read-back; the first at address 0x000014 "
            "(file 0x07, module 0x09).");
}

}  // namespace
}  // namespace r7k
