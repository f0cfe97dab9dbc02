#pragma once

#include "Source/Features/Toolbox/TransformFailure.h"

#include <utility>
#include <variant>

// Success with a value, or a TransformFailure.
template <typename T>
class TransformResult {
public:
    TransformResult(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    TransformResult(TransformFailure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    const T& value() const { return std::get<0>(state_); }
    T& value() { return std::get<0>(state_); }
    const TransformFailure& failure() const { return std::get<1>(state_); }

private:
    std::variant<T, TransformFailure> state_;
};
