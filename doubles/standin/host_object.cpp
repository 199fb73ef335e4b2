#include "standin/host_object.h"

#include <atomic>

#include "standin/standin_host.h"

namespace standin {

namespace {

std::atomic<long> liveObjects{0};

}  // namespace

long LiveObjects()
{
    return liveObjects.load();
}

void CountLiveObject(int change)
{
    liveObjects += change;
}

}  // namespace standin
