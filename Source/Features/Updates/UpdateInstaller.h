#pragma once

#include <QString>

#include <optional>

// The part of an installation that follows the download, run away from the GUI thread: the
// archive's length and signature are checked on its exact bytes, those bytes are unpacked beside
// the running bundle, the new bundle's identity, build and signed manifest are checked, and only
// then is it swapped with the running bundle in one step; the old bundle is removed.
namespace UpdateInstaller {

struct Job {
    QString archivePath;      // the downloaded archive
    qint64 length = 0;        // the feed's announced length
    QString signature;        // the feed's base64 signature of the archive
    QString updateKey;        // base64 public key for archives
    QString codeSigningKey;   // base64 public key for bundle manifests
    QString bundlePath;       // the running bundle
    QString identifier;       // the running bundle's identifier
    qint64 feedBuild = 0;     // the build the feed announced
    qint64 runningBuild = 0;  // the running build
};

struct Outcome {
    bool replaced = false;
    QString message;  // the text the user sees when not replaced
    QString detail;   // what failed, for the log
};

Outcome verifyAndReplace(const Job& job);

// Removes what an installation cut short by a crash left beside the bundle: the unpacking folders
// of our naming (".quorvin-update-<pid>-XXXXXX", the older ".quorvin-update-XXXXXX" too), by the
// rules of sweepDownloads, with everything in them however deep. Returns how many were removed.
int sweepLeftovers(const QString& bundlePath);

// The downloads: each in a private folder "quorvin-update-<pid>-XXXXXX" in the temporary folder,
// locked (flock) by the process that downloads into it for as long as it is in use.
QString downloadFolderTemplate(const QString& tempFolder);
// The temporary folder (UserFolders::temporary).
QString temporaryFolder();
// Removes the download folders that a crash or kill left in the temporary folder: folders of our
// naming (the older "quorvin-update-XXXXXX" too), owned by this user, not links, whose process is
// gone and which no process holds locked. A folder holding anything but files is left alone.
// Returns how many were removed.
int sweepDownloads(const QString& tempFolder);

// The texts of the failures.
QString signatureFailure();
QString notQuorvinFailure();
QString notSignedFailure();
QString wrongBuildFailure();
QString notNewerFailure();
// The download was sent on to an address that is not https.
QString insecureRedirectFailure();
// The download broke off or never started (no connection, time-out, untrusted server).
QString downloadFailure();
// The download could not be written in the temporary folder; by errno.
QString saveFailure(int code, const QString& folder);
// The new bundle could not be unpacked or put in place in the bundle's folder; by errno.
QString replaceFailure(int code, const QString& folder);

// A build number as text: an optional sign, then decimal digits only, within 64 bits.
std::optional<qint64> parseBuild(const QString& text);

}  // namespace UpdateInstaller
