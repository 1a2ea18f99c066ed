#pragma once
// One libFuzzer entry point around a property check of properties.h: a broken property aborts
// with its description, so libFuzzer keeps the input as a crash.
#include "fuzz/properties.h"

#include <cstdio>
#include <cstdlib>

#define ZEL_FUZZ_TARGET(check)                                                                     \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {            \
        const std::string why = check(zel::fuzz::asText(data, size));                              \
        if (!why.empty()) {                                                                        \
            std::fprintf(stderr, "property broken: %s\n", why.c_str());                            \
            std::abort();                                                                          \
        }                                                                                          \
        return 0;                                                                                  \
    }
