#include "platform/OsVersion.h"
#include "platform/UniqueResource.h"

#include <gtest/gtest.h>

using namespace PlatformHelpers;

// The test prefix is set to Windows 10, and the test executables carry no
// manifest, so Wine reports what it reports to unmanifested programs: 6.2.
TEST(OsVersionRecord, ReadsTheRunningSystemOnce) {
    const OsVersionRecord& first = GetOsVersionRecord();
    ASSERT_TRUE(first.valid);
    EXPECT_GE(first.major, 6u);
    EXPECT_EQ(first.productType, VER_NT_WORKSTATION);
    EXPECT_EQ(&first, &GetOsVersionRecord());
}

TEST(UniqueResource, ReleasesOnceAndMovesOwnership) {
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    HANDLE raw = event.get();
    UniqueHandle other(std::move(event));
    EXPECT_FALSE(event);
    EXPECT_EQ(other.get(), raw);
    EXPECT_TRUE(other.reset());
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}
