#include "module/object_map.h"

#include "TolvarBrenmarkLintrove.h"
#include "module/resource.h"
#include "objects/bank.h"
#include "objects/bank_services.h"
#include "payments/payment_service.h"

ObjectMapEntry* ObjectMap()
{
    // The statement service is made only by the services collection and is never in the map.
    static ObjectMapEntry entries[] = {
        {&CLSID_Bank, IDR_BANK, &CreateInstance<CBank>, &CATID_TolvarBankModules, nullptr},
        {&CLSID_BankServices, IDR_BANKSERVICES, &CreateInstance<CBankServices>, nullptr, nullptr},
        {&CLSID_BankPaymentService, IDR_BANKPAYMENTSERVICE, &CreateInstance<CBankPaymentService>, nullptr, nullptr},
        {nullptr, 0, nullptr, nullptr, nullptr},
    };
    return entries;
}
