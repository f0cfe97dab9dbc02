#pragma once

#include <QString>

// The running program's bundle: identity, version and folders. An installed bundle is a
// folder "Quorvin.app/" holding Info.json, bin/quorvin, Resources/ and _CodeSignature/.
// Compiled-in values stand in when Info.json is missing.
class Bundle {
public:
    static const Bundle& main();
    // Reads the bundle whose executable lives at executablePath (tests, the updater).
    static Bundle forExecutable(const QString& executablePath);
    // This program's own file, as /proc/self/exe names it (NativePath: its exact bytes, which need
    // not be UTF-8).
    static QString executablePath();

    QString identifier() const { return identifier_; }   // "com.pelwick.Quorvin"
    QString version() const { return version_; }         // short version, e.g. "1.4.0"
    QString build() const { return build_; }             // build number
    QString name() const { return name_; }               // "Quorvin"
    // The update feed: Info.json's "feedURL" when it is an https URL, else the maker's.
    QString feedURL() const { return feedURL_; }
    static QString defaultFeedURL();
    // The bundle folder (the parent of bin/), or empty when the program runs outside a bundle.
    QString bundlePath() const { return bundlePath_; }
    QString resourcesPath() const { return resourcesPath_; }
    // A resource: from Resources/ when the bundle has it and Qt can name it there (a UTF-8 path),
    // else the compiled-in ":/name".
    QString resourcePath(const QString& name) const;

private:
    QString identifier_, version_, build_, name_, feedURL_, bundlePath_, resourcesPath_;
};
