#pragma once

#include <QString>
#include <QUrl>

// How to reach the maker, and the short system-information text that goes with a report.
namespace Support {
QUrl website();
QUrl telegram();
QString email();

// What the system-information text is made of.
struct Facts {
    QString version;      // the bundle's short version; empty when unknown
    QString build;        // the bundle's build; empty when unknown
    QString system;       // the running system and its version
    QString model;        // the computer's model; may be empty
    QString installID;
};
// This program on this computer (reading the install identifier makes it when missing).
Facts currentFacts();

// Four lines without a line feed at the end: "Quorvin <version> (<build>)" ("?" for what is
// unknown), the system, "Model: <model>" and "Install: <id>".
QString systemInfo(const Facts& facts);
QString systemInfo();

// A new mail to the support address with the subject "Quorvin bug report" and a body that asks
// what happened and ends with the system information, every value percent-encoded.
QUrl reportURL(const QString& systemInfo);
}  // namespace Support
