// Reading back what a recording device wrote down: the names of the calls in
// order, and the calls of one kind.
#pragma once

#include <span>
#include <string>
#include <variant>
#include <vector>

#include "core/recording_device.h"

inline std::vector<std::string> callNames(std::span<const DeviceCall> calls)
{
    std::vector<std::string> names;
    for (const DeviceCall& call : calls) {
        names.emplace_back(callName(call));
    }
    return names;
}

template <class Call>
std::vector<Call> callsOfType(std::span<const DeviceCall> calls)
{
    std::vector<Call> matching;
    for (const DeviceCall& call : calls) {
        if (const Call* typed = std::get_if<Call>(&call)) {
            matching.push_back(*typed);
        }
    }
    return matching;
}
