#include "kit/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

namespace kit {
namespace {

Result<int> half(int n) {
  if (n % 2 != 0) return Error{std::to_string(n) + " is odd"};
  return n / 2;
}

TEST(Result, HoldsTheValueOrTheErrorAndSaysWhich) {
  const Result<int> good = half(10);
  ASSERT_TRUE(good);
  EXPECT_EQ(*good, 5);
  EXPECT_EQ(good.valueOr(-1), 5);

  const Result<int> bad = half(7);
  ASSERT_FALSE(bad);
  EXPECT_EQ(bad.error().message, "7 is odd");
  EXPECT_EQ(bad.valueOr(-1), -1);
}

// Reading the wrong side is a caller's mistake: it must not answer a
// made-up value or an empty message that reads as success.
TEST(Result, ReadingTheMissingSideThrows) {
  const Result<int> bad = half(3);
  EXPECT_THROW((void)bad.value(), std::bad_variant_access);
  const Result<int> good = half(4);
  EXPECT_THROW((void)good.error(), std::bad_variant_access);
  const Result<void> fine;
  EXPECT_THROW((void)fine.error(), std::bad_variant_access);
}

// A string value and an error are told apart by type, never by content.
TEST(Result, AStringValueIsNotMistakenForAnError) {
  const Result<std::string> empty = std::string();
  EXPECT_TRUE(empty);
  const Result<std::string> failed = Error{""};
  EXPECT_FALSE(failed);
}

TEST(Result, CarriesMoveOnlyValuesOut) {
  Result<std::unique_ptr<int>> made = std::make_unique<int>(42);
  ASSERT_TRUE(made);
  std::unique_ptr<int> taken = std::move(made).value();
  ASSERT_NE(taken, nullptr);
  EXPECT_EQ(*taken, 42);
}

TEST(Result, VoidIsSuccessUnlessGivenAnError) {
  const Result<void> done;
  EXPECT_TRUE(done.ok());
  const Result<void> failed = Error{"disk full"};
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().message, "disk full");
}

}  // namespace
}  // namespace kit
