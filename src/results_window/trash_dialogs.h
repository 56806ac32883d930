#pragma once

#include "selection/trash_request.h"

class QProgressDialog;
class QWidget;

namespace tallyrook {

// Message boxes and a progress dialog that appears only when the request takes a while.
class QtTrashDialogs : public TrashDialogs {
public:
    explicit QtTrashDialogs(QWidget* parent) : parent_(parent) {}
    ~QtTrashDialogs() override;

    TrashAnswer Confirm(const TrashQuestion& question) override;
    void BeginProgress(int total) override;
    bool Advance(int done) override;
    void EndProgress() override;
    void ReportFailures(const QList<TrashFailure>& failures) override;
    void ReportNotRestored(const QList<TrashFailure>& failures) override;

private:
    static QString ConfirmText(const TrashQuestion& question);
    static QString FailureHeading(qsizetype count);
    static QString NotRestoredHeading(qsizetype count);
    static QString Title();
    static QString UncheckTheseText();
    void ShowFailures(const QString& title, const QString& heading,
                      const QList<TrashFailure>& failures);

    QWidget* parent_;
    QProgressDialog* progress_ = nullptr;
};

}  // namespace tallyrook
