#include "platform/system_services.h"

#include <cstdlib>

namespace swk {
namespace {

SystemServices*& Current() {
    static SystemServices* current = nullptr;
    return current;
}

}  // namespace

SystemServices& Sys() {
    SystemServices* services = Current();
    if (services == nullptr) std::abort();  // a program forgot to install its backend
    return *services;
}

void SetSystemServices(SystemServices* services) { Current() = services; }

ScopedSystemServices::ScopedSystemServices(SystemServices& services) : previous_(Current()) {
    Current() = &services;
}

ScopedSystemServices::~ScopedSystemServices() { Current() = previous_; }

}  // namespace swk
