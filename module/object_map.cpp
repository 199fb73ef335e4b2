#include "module/object_map.h"

#include "TolvarBrenmarkLintrove.h"
#include "module/resource.h"
#include "payments/payment_service.h"

ObjectMapEntry* ObjectMap()
{
    // The statement service is made only by the services collection and is never in the map.
    static ObjectMapEntry entries[] = {
        {&CLSID_BankPaymentService, IDR_BANKPAYMENTSERVICE, &CreateInstance<CBankPaymentService>, nullptr, nullptr},
        {nullptr, 0, nullptr, nullptr, nullptr},
    };
    return entries;
}
