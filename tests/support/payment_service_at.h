// The payment service with its settings file in a folder of the test's, not in the shell's common
// application-data folder that the product uses.
#pragma once

#include <utility>

#include "core/com_object.h"
#include "payments/payment_service.h"

class PaymentServiceAt : public CBankPaymentService {
public:
    explicit PaymentServiceAt(SettingsLocation settings) { settings_ = std::move(settings); }
};

// A plain payment service keeping its settings in the given place; the caller holds the first reference.
inline ComPtr<CBankPaymentService> MakePaymentServiceAt(SettingsLocation settings)
{
    return ComPtr<CBankPaymentService>(MakeObject<PaymentServiceAt>(std::move(settings)).Get());
}
