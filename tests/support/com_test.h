// Test fixtures and helpers for COM: an apartment per test, the host's type libraries registered,
// error information read back, the module lock checked at the end of each test.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <gtest/gtest.h>

#include <string>

#include "core/com_ptr.h"

// Path of a file of the build tree as Windows sees it under Wine.
std::wstring BuildPath(const std::wstring& relative);
std::wstring SourcePath(const std::wstring& relative);
std::string Narrow(const std::wstring& text);
std::wstring Wide(const std::string& text);

// Registers the three host type libraries (as the host's installer would), once per process.
void RegisterHostTypeLibraries();

// The description of the thread's error information, and clears it; "<none>" when there is none.
std::wstring TakeErrorDescription();
// Whether the thread has error information (and clears it).
bool TakeHasErrorInfo();
// Source of the thread's error information; leaves it in place.
std::wstring PeekErrorSource();

// The object's reference count, read as Wine's tests do: an AddRef then a Release returns it.
ULONG RefCount(IUnknown* object);
#define EXPECT_REF(object, expected)                                                                                   \
    EXPECT_EQ(static_cast<ULONG>(expected), RefCount(object)) << "references to " #object

class ComTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Lock count of the module code linked into this test program at the start of the test.
    long startLock_ = 0;
};
