#pragma once

#include <QString>

class UserDefaults;

// The anonymous identifier of this installation: a random UUID, upper-case with hyphens, made on
// the first read and kept under "userIdentifier". GUI thread only.
namespace UserIdentity {
QString id();
QString id(UserDefaults& defaults);
}  // namespace UserIdentity
