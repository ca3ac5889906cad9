#pragma once

// The workflow's objects as the views see them: typed QML types of the
// module "Lumbrel", made by the application (never in QML). The workflow
// library itself stays free of QML.

#include "BundleClipboard.h"
#include "BundleJob.h"
#include "BundleOptions.h"
#include "ContentView.h"
#include "EstimatesManager.h"
#include "FileListModel.h"
#include "FileSelection.h"
#include "FileSelectionState.h"
#include "RecentSelections.h"
#include "SelectionHistory.h"
#include "FileTreeModel.h"
#include "SelectionTree.h"

#include <QtQml/qqml.h>

// The C++ view model of ContentView.qml, under its own name.
struct ContentViewModelRegistration
{
    Q_GADGET
    QML_FOREIGN(ContentView)
    QML_NAMED_ELEMENT(ContentViewModel)
    QML_UNCREATABLE("Made by the application")
};

struct BundleClipboardRegistration
{
    Q_GADGET
    QML_FOREIGN(BundleClipboard)
    QML_NAMED_ELEMENT(BundleClipboard)
    QML_UNCREATABLE("Made by the application")
};

struct BundleJobRegistration
{
    Q_GADGET
    QML_FOREIGN(BundleJob)
    QML_NAMED_ELEMENT(BundleJob)
    QML_UNCREATABLE("Made by the application")
};

// The steps of a bundle job: Job.Copying, Job.Packing, Job.Writing.
namespace JobRegistration {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(Job)
QML_NAMED_ELEMENT(Job)
} // namespace JobRegistration

struct BundleOptionsRegistration
{
    Q_GADGET
    QML_FOREIGN(BundleOptions)
    QML_NAMED_ELEMENT(BundleOptions)
    QML_UNCREATABLE("Made by the application")
};

struct EstimatesManagerRegistration
{
    Q_GADGET
    QML_FOREIGN(EstimatesManager)
    QML_NAMED_ELEMENT(EstimatesManager)
    QML_UNCREATABLE("Made by the application")
};

struct FileListModelRegistration
{
    Q_GADGET
    QML_FOREIGN(FileListModel)
    QML_NAMED_ELEMENT(FileListModel)
    QML_UNCREATABLE("Made by the application")
};

struct FileTreeModelRegistration
{
    Q_GADGET
    QML_FOREIGN(FileTreeModel)
    QML_NAMED_ELEMENT(FileTreeModel)
    QML_UNCREATABLE("Made by the application")
};

struct SelectionTreeRegistration
{
    Q_GADGET
    QML_FOREIGN(SelectionTree)
    QML_NAMED_ELEMENT(SelectionTree)
    QML_UNCREATABLE("Made by the application")
};

struct FileSelectionRegistration
{
    Q_GADGET
    QML_FOREIGN(FileSelection)
    QML_NAMED_ELEMENT(FileSelection)
    QML_UNCREATABLE("Made by the application")
};

struct FileSelectionStateRegistration
{
    Q_GADGET
    QML_FOREIGN(FileSelectionState)
    QML_NAMED_ELEMENT(FileSelectionState)
    QML_UNCREATABLE("Made by the application")
};

struct SelectionHistoryRegistration
{
    Q_GADGET
    QML_FOREIGN(SelectionHistory)
    QML_NAMED_ELEMENT(SelectionHistory)
    QML_UNCREATABLE("Made by the application")
};

struct RecentSelectionsRegistration
{
    Q_GADGET
    QML_FOREIGN(RecentSelections)
    QML_NAMED_ELEMENT(RecentSelections)
    QML_UNCREATABLE("Made by the application")
};
