// The host contract and the module's own type library: every member the module implements or
// calls sits in its vtable slot, and every interface derives from the right one.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TolvarEBanking.h"
#include "tests/support/com_test.h"

namespace {

struct Member {
    const wchar_t* name;
    INVOKEKIND kind;
    int slot;
};

constexpr INVOKEKIND Call = INVOKE_FUNC;
constexpr INVOKEKIND Get = INVOKE_PROPERTYGET;
constexpr INVOKEKIND Put = INVOKE_PROPERTYPUT;

ComPtr<ITypeLib> LoadLibrary(const wchar_t* file)
{
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(BuildPath(std::wstring(L"generated/") + file).c_str(), REGKIND_NONE, library.Put());
    EXPECT_EQ(S_OK, hr) << Narrow(file);
    return library;
}

// The vtable form of an interface (a dual interface is found first as its dispatch form).
ComPtr<ITypeInfo> VtableInfo(ITypeLib* library, const wchar_t* name)
{
    ComPtr<ITypeInfo> info;
    MEMBERID id = 0;
    USHORT found = 1;
    std::wstring copy(name);
    EXPECT_EQ(S_OK, library->FindName(&copy[0], 0, info.Put(), &id, &found)) << Narrow(name);
    if (!info)
        return info;
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    const bool dispatch = attributes->typekind == TKIND_DISPATCH;
    info->ReleaseTypeAttr(attributes);
    if (dispatch) {
        HREFTYPE vtableRef = 0;
        ComPtr<ITypeInfo> vtable;
        if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &vtableRef)) &&
            SUCCEEDED(info->GetRefTypeInfo(vtableRef, vtable.Put())))
            return vtable;
    }
    return info;
}

std::wstring BaseName(ITypeInfo* info)
{
    HREFTYPE baseRef = 0;
    ComPtr<ITypeInfo> base;
    if (FAILED(info->GetRefTypeOfImplType(0, &baseRef)) || FAILED(info->GetRefTypeInfo(baseRef, base.Put())))
        return L"<none>";
    Bstr name;
    base->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr);
    return name.Text();
}

void ExpectSlots(ITypeLib* library, const wchar_t* interfaceName, const wchar_t* baseName,
                 const std::vector<Member>& members, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    ::testing::ScopedTrace caller(file, line, "called from here");
    SCOPED_TRACE(Narrow(interfaceName));
    ComPtr<ITypeInfo> info = VtableInfo(library, interfaceName);
    ASSERT_TRUE(info);
    EXPECT_EQ(std::wstring(baseName), BaseName(info.Get()));

    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    std::map<std::pair<std::wstring, int>, int> slots;
    for (UINT index = 0; index < attributes->cFuncs; ++index) {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, info->GetFuncDesc(index, &function));
        Bstr name;
        info->GetDocumentation(function->memid, name.Put(), nullptr, nullptr, nullptr);
        slots[{name.Text(), function->invkind}] = function->oVft / static_cast<int>(sizeof(void*));
        info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);

    for (const Member& member : members) {
        auto found = slots.find({member.name, member.kind});
        ASSERT_NE(slots.end(), found) << Narrow(member.name) << " missing";
        EXPECT_EQ(member.slot, found->second) << Narrow(member.name);
    }
}

}  // namespace

class TypeLibraryTest : public ComTest {};

TEST_F(TypeLibraryTest, EBankingContract)
{
    ComPtr<ITypeLib> library = LoadLibrary(L"TolvarEBanking.tlb");
    ASSERT_TRUE(library);
    ExpectSlots(library.Get(), L"ITolvarBank", L"IDispatch",
                {{L"Name", Get, 7},
                 {L"Services", Get, 8},
                 {L"Version", Get, 9},
                 {L"Configure", Call, 10},
                 {L"Status", Get, 11}});
    ExpectSlots(library.Get(), L"ITolvarBankServices", L"IDispatch",
                {{L"Item", Call, 7}, {L"Count", Get, 8}, {L"_NewEnum", Get, 9}});
    ExpectSlots(
        library.Get(), L"ITolvarBankService", L"IDispatch",
        {{L"Name", Get, 7}, {L"Status", Get, 8}, {L"Status", Put, 9}, {L"Prepare", Call, 10}, {L"Query", Call, 11}});
    ExpectSlots(
        library.Get(), L"ITolvarBankSettings", L"IDispatch",
        {{L"ConfigureBank", Call, 7}, {L"GetFileChooserSettings", Call, 8}, {L"GetPaymentFileDefaults", Call, 9}});
    ExpectSlots(library.Get(), L"ITolvarFileChooser", L"IDispatch",
                {{L"SetSettings", Call, 7}, {L"FileName", Get, 10}, {L"Show", Call, 11}});

    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    library->ReleaseTLibAttr(attributes);

    // The host classes that the module creates by class identifier.
    ComPtr<ITypeInfo> settingsClass, chooserClass;
    EXPECT_EQ(S_OK, library->GetTypeInfoOfGuid(CLSID_TolvarBankSettings, settingsClass.Put()));
    EXPECT_EQ(S_OK, library->GetTypeInfoOfGuid(CLSID_TolvarFileChooser, chooserClass.Put()));
}

TEST_F(TypeLibraryTest, BankPaymentsContract)
{
    ComPtr<ITypeLib> library = LoadLibrary(L"TolvarBankPayments.tlb");
    ASSERT_TRUE(library);
    ExpectSlots(library.Get(), L"ITolvarBankPaymentService", L"ITolvarBankService",
                {{L"GetResultText", Call, 12}, {L"ExportPayments", Call, 13}});

    ExpectSlots(library.Get(), L"ITolvarBankPayments", L"IDispatch", {{L"Item", Call, 7}, {L"Count", Get, 8}});
    ExpectSlots(library.Get(), L"ITolvarBankPayment", L"IDispatch",
                {{L"Amount", Get, 7},
                 {L"PayerSortCode", Get, 11},
                 {L"PayerAccountNumber", Get, 13},
                 {L"PayerAccountName", Get, 15},
                 {L"PayeeBacsReference", Get, 19},
                 {L"PayeeSortCode", Get, 21},
                 {L"PayeeAccountNumber", Get, 23},
                 {L"PayeeAccountName", Get, 25},
                 {L"PayeeRollNumber", Get, 27},
                 {L"Details", Get, 31},
                 {L"ResultCode", Put, 38}});
    ExpectSlots(library.Get(), L"ITolvarBankPayment2", L"ITolvarBankPayment",
                {{L"RtiReference", Get, 41}, {L"IsRti", Get, 43}});
    ExpectSlots(library.Get(), L"ITolvarBankPaymentContext", L"IDispatch", {{L"BankAccount", Get, 7}});
    ExpectSlots(library.Get(), L"ITolvarBankAccount", L"IDispatch",
                {{L"SortCode", Get, 7}, {L"AccountNumber", Get, 11}});
}

TEST_F(TypeLibraryTest, BankReconciliationContract)
{
    ComPtr<ITypeLib> library = LoadLibrary(L"TolvarBankReconciliation.tlb");
    ASSERT_TRUE(library);
    ExpectSlots(library.Get(), L"ITolvarBankStatementService", L"ITolvarBankService",
                {{L"GetResultText", Call, 12}, {L"ImportStatement", Call, 13}});
    ExpectSlots(library.Get(), L"ITolvarBankStatement", L"IDispatch",
                {{L"AddTransaction", Call, 9}, {L"Reset", Call, 10}, {L"Balance", Put, 13}});
    ExpectSlots(library.Get(), L"ITolvarBankTransaction", L"IDispatch",
                {{L"Sequence", Put, 9},
                 {L"Date", Put, 11},
                 {L"ChequeNumber", Put, 13},
                 {L"Reference", Put, 15},
                 {L"Receipt", Put, 17},
                 {L"Details", Put, 37},
                 {L"Amount", Put, 43}});
}

TEST_F(TypeLibraryTest, ModuleLibraryDescribesFourClassesAndDualInterfaces)
{
    ComPtr<ITypeLib> library = LoadLibrary(L"TolvarBrenmarkLintrove.tlb");
    ASSERT_TRUE(library);
    Bstr name, help;
    library->GetDocumentation(-1, name.Put(), help.Put(), nullptr, nullptr);
    EXPECT_EQ(std::wstring(L"TOLVARBRENMARKLINTROVELib"), name.Text());
    EXPECT_EQ(std::wstring(L"TolvarBrenmarkLintrove 1.0 Type Library"), help.Text());
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0x409u, attributes->lcid);
    library->ReleaseTLibAttr(attributes);

    struct Expected {
        const wchar_t* interfaceName;
        const wchar_t* baseName;
        const wchar_t* interfaceHelp;
        const wchar_t* className;
        const wchar_t* classHelp;
    } expected[] = {
        {L"IBank", L"ITolvarBank", L"IBank Interface", L"Bank", L"Bank Class"},
        {L"IBankServices", L"ITolvarBankServices", L"IBankServices Interface", L"BankServices", L"BankServices Class"},
        {L"IBankPaymentService", L"ITolvarBankPaymentService", L"IBankPaymentService Interface", L"BankPaymentService",
         L"BankPaymentService Class"},
        {L"IBankStatementService", L"ITolvarBankStatementService", L"IBankStatementService Interface",
         L"BankStatementService", L"BankStatementService Class"},
    };
    for (const Expected& item : expected) {
        SCOPED_TRACE(Narrow(item.interfaceName));
        ComPtr<ITypeInfo> info = VtableInfo(library.Get(), item.interfaceName);
        ASSERT_TRUE(info);
        EXPECT_EQ(std::wstring(item.baseName), BaseName(info.Get()));
        TYPEATTR* typeAttributes = nullptr;
        info->GetTypeAttr(&typeAttributes);
        EXPECT_EQ(0, typeAttributes->cFuncs);  // adds no members of its own
        EXPECT_TRUE(typeAttributes->wTypeFlags & TYPEFLAG_FDUAL);
        info->ReleaseTypeAttr(typeAttributes);
        Bstr interfaceHelp;
        info->GetDocumentation(MEMBERID_NIL, nullptr, interfaceHelp.Put(), nullptr, nullptr);
        EXPECT_EQ(std::wstring(item.interfaceHelp), interfaceHelp.Text());

        ComPtr<ITypeInfo> coclass;
        MEMBERID id = 0;
        USHORT found = 1;
        std::wstring className(item.className);
        ASSERT_EQ(S_OK, library->FindName(&className[0], 0, coclass.Put(), &id, &found));
        Bstr classHelp;
        coclass->GetDocumentation(MEMBERID_NIL, nullptr, classHelp.Put(), nullptr, nullptr);
        EXPECT_EQ(std::wstring(item.classHelp), classHelp.Text());
    }
}
