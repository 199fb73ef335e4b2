// A payment that passes the checks of both layouts, for tests that need ordinary payments.
#pragma once

#include "standin/standin_host.h"

inline standin::PaymentData ValidPayment(const wchar_t* payeeName = L"J. Smith", double amount = 10.5)
{
    standin::PaymentData payment;
    payment.Amount = amount;
    payment.PayerSortCode = L"40-11-22";
    payment.PayerAccountNumber = L"87654321";
    payment.PayerAccountName = L"Acme Ltd";
    payment.PayeeBacsReference = L"12";
    payment.PayeeSortCode = L"12-34-56";
    payment.PayeeAccountNumber = L"12345678";
    payment.PayeeAccountName = payeeName;
    payment.Details = L"Invoice";
    return payment;
}
