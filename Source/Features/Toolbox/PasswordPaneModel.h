#pragma once

#include "Source/Features/Toolbox/CopyConfirmation.h"
#include "Source/Features/Toolbox/PasswordGenerator.h"

#include <QObject>
#include <QString>

class Pasteboard;
class Random;

// The password tool's state: the options, the password they made and the copy confirmation.
// Every change of an option draws a new password; nothing is stored. GUI thread only.
class PasswordPaneModel : public QObject {
    Q_OBJECT
public:
    enum class Strength { weak, acceptable, good, veryStrong };

    struct StyleTexts {
        QString segmentTitle;
        QString unitLabel;
        QString description;
    };

    // Draws from `random`, the secure source unless a test gives another.
    explicit PasswordPaneModel(Random* random = nullptr, QObject* parent = nullptr);

    const PasswordGenerator::Options& options() const { return options_; }
    QString password() const { return password_; }
    CopyConfirmation& copyConfirmation() { return copied_; }

    // Draws the first password when there is none yet.
    void appear();
    // Clamps the length into the style's range, then draws a new password.
    void regenerate();
    void setStyle(PasswordGenerator::Style style);
    void setLength(qint64 length);
    // A slider position: its whole-number part becomes the length.
    void setSliderValue(double value);
    void setIncludeDigit(bool on);
    void setIncludeCapital(bool on);
    void setIncludeSymbol(bool on);

    // Puts the password on the pasteboard as plain text marked secret (the concealed marker with
    // empty data and the password-manager hint), then confirms the copy.
    void copy(Pasteboard& pasteboard);

    double entropyBits() const { return PasswordGenerator::entropyBits(options_); }
    Strength strength() const { return strengthFor(entropyBits()); }
    QString entropyText() const;  // "66 бит энтропии"

    static Strength strengthFor(double bits);
    static QString strengthLabel(Strength strength);
    static StyleTexts texts(PasswordGenerator::Style style);
    // The digit and capital switches are offered for every style but the numeric one; the
    // symbol switch only for random characters.
    static bool offersDigitAndCapital(PasswordGenerator::Style style);
    static bool offersSymbol(PasswordGenerator::Style style);

signals:
    void changed();

private:
    Random* random_;  // null: the shared source
    PasswordGenerator::Options options_;
    QString password_;
    CopyConfirmation copied_;
};
