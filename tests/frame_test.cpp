// The method frame, the module error table and the common service members.
#include <gtest/gtest.h>

#include "core/method_frame.h"
#include "payments/payment_service.h"
#include "statements/statement_service.h"
#include "tests/support/com_test.h"

class MethodFrameTest : public ComTest {};

TEST_F(MethodFrameTest, NullOutPointerIsInvalidArgumentWithDescriptionAndNoSource)
{
    HRESULT hr = MethodFrame([] { RequirePointer(static_cast<long*>(nullptr)); });
    EXPECT_EQ(static_cast<HRESULT>(0x800AFFFC), hr);
    EXPECT_EQ(L"<none>", PeekErrorSource().empty() ? L"<none>" : PeekErrorSource());
    EXPECT_EQ(L"Invalid argument", TakeErrorDescription());
}
