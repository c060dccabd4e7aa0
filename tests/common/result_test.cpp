#include "common/result.h"

#include <gtest/gtest.h>

#include <string>

using velmora::Error;
using velmora::Failure;
using velmora::Result;

TEST(Result, TakeThrowsTheCarriedError)
{
    Result<std::string> failed = Error(3021, "no current record");
    ASSERT_FALSE(failed);
    try {
        (void)std::move(failed).take();
        FAIL() << "take() of an error must throw";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.error(), Error(3021, "no current record"));
    }
    Result<std::string> good = std::string("page");
    EXPECT_EQ(std::move(good).take(), "page");
}

TEST(Result, VoidResultChecks)
{
    EXPECT_NO_THROW(Result<void>().check());
    EXPECT_THROW(Result<void>(Error(1, "x")).check(), Failure);
}
