#pragma once

#include "Platform/Ui/FileDialogs.h"

#include <QStringList>

#include <vector>

// Answers the file dialogs from a script: what the next folder, save or open dialog returns
// (empty: the user cancels). Every request is kept so tests can check titles and labels.
// With `deferred` set, answers wait until answerPending() is called.
class FakeFileDialogs : public FileDialogs {
public:
    QStringList nextFolders;
    QString nextSavePath;
    QString nextOpenPath;
    bool deferred = false;
    std::vector<Request> requests;

    void chooseFolders(QWidget*, const Request& request, PathsHandler done) override {
        requests.push_back(request);
        answer([this, done] { done(nextFolders); });
    }
    void chooseSaveFile(QWidget*, const Request& request, PathHandler done) override {
        requests.push_back(request);
        answer([this, done] { done(nextSavePath); });
    }
    void chooseOpenFile(QWidget*, const Request& request, PathHandler done) override {
        requests.push_back(request);
        answer([this, done] { done(nextOpenPath); });
    }

    void answerPending() {
        auto waiting = std::move(pending_);
        pending_.clear();
        for (auto& reply : waiting) reply();
    }

private:
    void answer(std::function<void()> reply) {
        if (deferred) pending_.push_back(std::move(reply));
        else reply();
    }
    std::vector<std::function<void()>> pending_;
};

// Installs a fake for one test's lifetime.
struct ScopedFileDialogs {
    FakeFileDialogs fake;
    ScopedFileDialogs() { FileDialogs::setShared(&fake); }
    ~ScopedFileDialogs() { FileDialogs::setShared(nullptr); }
};
