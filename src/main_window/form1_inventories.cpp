// The main window's saved inventories: added to the folder list and remembered, read afresh for
// each search, and saved from the listed folders.

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <limits>

#include "contents/contents_texts.h"
#include "inventory/fingerprints.h"
#include "inventory/inventory_search.h"
#include "main_window/desktop_host.h"
#include "main_window/dialogs.h"
#include "main_window/folder_list.h"
#include "main_window/form1.h"
#include "main_window/form1_names.h"
#include "selection/selection_list.h"
#include "settings/setting_keys.h"
#include "settings/settings_store.h"
#include "shared/global.h"
#include "shared/program.h"
#include "walk/walk.h"

namespace tallyrook {

namespace {

const QString InventorySuffix = QStringLiteral("tallyrook");

}  // namespace

void Form1::AddInventoryCommands() {
    auto* separator = new QAction(folderList_);
    separator->setSeparator(true);
    auto* save = new QAction(tr("Sa&ve Inventory…"), folderList_);
    save->setObjectName(form1::SaveInventoryAction);
    save->setToolTip(
        tr("Saves the names, sizes and dates of every file in the listed folders, so "
           "that a search can include them when their drive is not here."));
    connect(save, &QAction::triggered, this, [this] { OnSaveInventory(false); });
    auto* withFingerprints = new QAction(tr("Save Inventory with &Fingerprints…"), folderList_);
    withFingerprints->setObjectName(form1::SaveFingerprintsAction);
    withFingerprints->setToolTip(
        tr("Also reads every file whose size another file has, here or in the listed "
           "inventories, and saves a fingerprint of its contents: Compare Contents then finds "
           "copies on drives and machines that are not here."));
    connect(withFingerprints, &QAction::triggered, this, [this] { OnSaveInventory(true); });
    folderList_->addActions({separator, save, withFingerprints});
    // Removed like a folder, and forgotten with it.
    connect(folderList_->model(), &QAbstractItemModel::rowsRemoved, this, &Form1::StoreInventories);
    connect(folderList_->model(), &QAbstractItemModel::modelReset, this, &Form1::StoreInventories);
}

QStringList Form1::InventoryFiles() const {
    return folderList_->InventoryFiles();
}

QStringList Form1::AddInventoryFiles(const QStringList& files) {
    QStringList problems;
    QStringList listed = folderList_->InventoryFiles();
    for (const QString& given : files) {
        const QString file = QDir::cleanPath(QDir::current().absoluteFilePath(given));
        if (given.isEmpty() || listed.contains(file))
            continue;
        Inventory inventory;
        if (const InventoryError error = LoadInventory(file, inventory)) {
            problems.append(error.text);
            continue;
        }
        listed.append(file);
        const QString walked =
            QLocale().toString(inventory.walkedAt.toLocalTime(), QLocale::ShortFormat);
        folderList_->AddInventoryEntry(
            file,
            tr("%1 (inventory of %2, %3)")
                .arg(QFileInfo(file).completeBaseName(), inventory.machine, walked),
            tr("%1\n%2 files of these folders on %3, as they were on %4:")
                    .arg(QDir::toNativeSeparators(file),
                         QLocale().toString(qsizetype(inventory.files.size())), inventory.machine,
                         walked) +
                u'\n' + inventory.roots.join(u'\n'));
    }
    StoreInventories();
    return problems;
}

void Form1::StoreInventories() {
    if (closing_)
        return;
    QStringList files = folderList_->InventoryFiles();
    // One line per file in the store: a name with a line break is listed but not remembered.
    files.removeIf([](const QString& file) { return file.contains(u'\n'); });
    const QString stored = files.join(u'\n');
    if (settings_.ReadSetting(setting_keys::Inventories) != stored)
        settings_.WriteSetting(setting_keys::Inventories, stored);
}

void Form1::OnAddInventory() {
    const QStringList files = dialogs_.ChooseFilesToOpen(
        this, tr("Add Inventory"),
        tr("Tallyrook inventories (*.%1);;All files (*)").arg(InventorySuffix));
    const QStringList problems = AddInventoryFiles(files);
    if (!problems.isEmpty())
        dialogs_.ShowMessage(this,
                             tr("Not added to the folder list:") + u"\n\n" + problems.join(u'\n'),
                             tr("Error"));
}

bool Form1::LoadListedInventories() {
    const QStringList files = folderList_->InventoryFiles();
    searchedInventories_.assign(size_t(files.size()), {});
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (const InventoryError error = LoadInventory(files.at(i), searchedInventories_[size_t(i)],
                                                       InventoryParts::WithoutFiles)) {
            searchedInventories_.clear();
            dialogs_.ShowMessage(
                this, tr("This inventory cannot be searched:") + u"\n\n" + error.text, tr("Error"));
            return false;
        }
    }
    if (files.isEmpty()) {
        runOptions_.addRecordedFiles = {};
        return true;
    }
    recorded_ = std::make_shared<RecordedFingerprints>();
    runOptions_.addRecordedFiles = [this](SearchHost& host, Global& global,
                                          const QStringList& walkedRoots) {
        return AddInventories(searchedInventories_, host, global, walkedRoots,
                              runOptions_.criteria.exactFilesize, &recorded_->byRecord);
    };
    return true;
}

bool Form1::WalkForInventory(const QStringList& folders, Global& walkedFiles) {
    RunOptions options = runOptions_;
    options.criteria.exactFilesize = true;
    WalkedFolders walked;
    for (const QString& folder : folders) {
        if (AnalyzeFolder(folder, *host_, walkedFiles, walked, options) != StepResult::Completed)
            return false;
    }
    return true;
}

void Form1::ReportSavedInventory(const QString& file, const Inventory& inventory,
                                 const QList<FingerprintFailure>& failures,
                                 const InventoryError& error) {
    QStringList notFingerprinted;
    for (const FingerprintFailure& failure : failures)
        notFingerprinted.append(failure.path + u": " + NotComparedText(failure.reason));
    if (!notFingerprinted.isEmpty())
        dialogs_.ShowReport(this, QString(ProgramName),
                            tr("These files could not be read and were saved without a "
                               "fingerprint:"),
                            notFingerprinted, {});
    if (error)
        dialogs_.ShowMessage(this, tr("The inventory could not be saved:") + u"\n\n" + error.text,
                             tr("Error"));
    else
        dialogs_.ShowMessage(this,
                             tr("The inventory of %1 files was saved to %2.")
                                 .arg(QLocale().toString(qsizetype(inventory.files.size())),
                                      QDir::toNativeSeparators(file)),
                             QString(ProgramName));
}

void Form1::OnSaveInventory(bool fingerprints) {
    if (running_ || closing_)
        return;
    QStringList folders;
    for (const QString& entry : folderList_->Entries())
        folders.append(QDir::cleanPath(QDir::current().absoluteFilePath(entry)));
    if (folders.isEmpty()) {
        dialogs_.ShowMessage(this, tr("There is no folder in the list to save an inventory of."),
                             QString(ProgramName));
        return;
    }
    const QString file = dialogs_.ChooseFileToSave(
        this, fingerprints ? tr("Save Inventory with Fingerprints") : tr("Save Inventory"),
        tr("Tallyrook inventories (*.%1)").arg(InventorySuffix), InventorySuffix);
    if (file.isEmpty())
        return;
    // The inventories named with it count for which sizes occur more than once.
    std::vector<Inventory> others;
    if (fingerprints && !LoadListedInventories())
        return;
    if (fingerprints)
        others = std::exchange(searchedInventories_, {});
    runOptions_.addRecordedFiles = {};
    recorded_.reset();

    running_ = true;
    const QPointer<Form1> self(this);
    SearchHost& host = *host_;
    host.ClearStopRequest();
    host.SetRunning(true);
    const auto keepGoing = [&host] { return host.ProcessPendingEvents() && !host.StopRequested(); };
    const auto progress = [&host, &keepGoing](int percent) {
        host.SetProgress(percent);
        return keepGoing();
    };
    // No cap: an inventory may hold more files than one search lists. Not the run's inventory,
    // which the results window's rows still need.
    Global walkedFiles(std::numeric_limits<qsizetype>::max());
    bool going = WalkForInventory(folders, walkedFiles);
    // The names the walk skipped are told here, before the saving.
    host.SetStage(SearchStage::Idle);
    Inventory inventory;
    QList<FingerprintFailure> failures;
    InventoryError error;
    if (self && going) {
        setWindowTitle(ProgramName + u' ' + tr("[Saving inventory]"));
        going = MakeInventory(walkedFiles.inventory, folders, inventory, progress);
    }
    if (self && going && fingerprints) {
        setWindowTitle(ProgramName + u' ' + tr("[Making fingerprints]"));
        FingerprintStore store;
        if (Inventory replaced; !LoadInventory(file, replaced, InventoryParts::WithoutFiles))
            store.Add(replaced);
        for (const Inventory& other : others)
            store.Add(other);
        FingerprintCount count;
        going = AddFingerprints(inventory, others, store, count, failures, progress);
    }
    if (self && going)
        error = SaveInventory(file, inventory, keepGoing);
    if (!self || closing_)
        return;
    running_ = false;
    host.SetStage(SearchStage::Idle);
    host.SetRunning(false);
    host.SetProgress(0);
    host.SetBusy(false);
    // Stopped: nothing was written, and nothing is to be said.
    if (host.StopRequested())
        return;
    ReportSavedInventory(file, inventory, failures, error);
}

}  // namespace tallyrook
