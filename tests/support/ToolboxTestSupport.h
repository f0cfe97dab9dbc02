#pragma once

#include "Source/Features/Toolbox/TransformResult.h"

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const TransformFailure& failure, std::ostream* out) {
    *out << (failure.kind == TransformFailure::Kind::syntax ? "syntax(" : "notThatFormat(")
         << failure.message.toStdString();
    if (failure.line) *out << ", line " << *failure.line;
    *out << ")";
}

// The output of a transform that must succeed, or a test failure naming the failure.
template <typename T>
T succeeded(const TransformResult<T>& result) {
    if (!result.ok()) {
        ADD_FAILURE() << "failed with " << ::testing::PrintToString(result.failure());
        return T();
    }
    return result.value();
}

template <typename T>
TransformFailure failed(const TransformResult<T>& result) {
    if (result.ok()) {
        ADD_FAILURE() << "succeeded unexpectedly";
        return TransformFailure::notThatFormat(QString());
    }
    return result.failure();
}
