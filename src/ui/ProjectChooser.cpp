#include "ui/ProjectChooser.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QPushButton>

#include "engine/ProjectChoice.h"

namespace kp::ui {

ProjectChooser::ProjectChooser(const QString& startFolder, const QString& selected, QWidget* parent)
    : QFileDialog(parent, QString::fromUtf8(kChooseTitle), startFolder) {
    setObjectName(QStringLiteral("ProjectChooser"));
    // The same dialog on every desktop, so that folders and files are chosen alike and the
    // accessibility bus sees its controls. AnyFile lists both and opens a folder instead
    // of accepting it; accept() below refuses names that do not exist.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::AnyFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setLabelText(QFileDialog::FileName, QStringLiteral("Project:"));
    setLabelText(QFileDialog::FileType, QStringLiteral("Shows:"));
    setLabelText(QFileDialog::Accept, QStringLiteral("Choose"));
    setNameFilter(QStringLiteral("Folders and files (*)"));
    setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);

    auto* folderButton = new QPushButton(QStringLiteral("Choose &folder"), this);
    folderButton->setObjectName(QStringLiteral("ChooseFolderBtn"));
    folderButton->setAutoDefault(false);
    folderButton->setToolTip(QStringLiteral("The selected folder, or the folder shown"));
    folderButton->setAccessibleDescription(folderButton->toolTip());
    connect(folderButton, &QPushButton::clicked, this, &ProjectChooser::chooseFolder);
    // The dialog's own grid: the button goes under Choose and Cancel, beside "Shows:".
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(folderButton, grid->rowCount(), grid->columnCount() - 1);

    if (!selected.isEmpty()) selectFile(selected);
}

QString ProjectChooser::selectedPath() const {
    const QStringList picked = selectedFiles();
    return picked.isEmpty() ? QString() : picked.first();
}

void ProjectChooser::accept() {
    const QFileInfo info(selectedPath());
    if (info.isDir()) {
        QFileDialog::accept(); // opens the folder
        return;
    }
    if (!info.exists()) {
        // A typed name that names nothing: a project is never created here.
        QApplication::beep();
        return;
    }
    m_chosen = info.absoluteFilePath();
    done(QDialog::Accepted);
}

void ProjectChooser::chooseFolder() {
    const QString picked = selectedPath();
    const QFileInfo info(picked);
    if (!picked.isEmpty() && !info.exists()) {
        // A typed name that names nothing is a slip, not a wish for the folder shown.
        QApplication::beep();
        return;
    }
    m_chosen = info.isDir() ? info.absoluteFilePath() : directory().absolutePath();
    done(QDialog::Accepted);
}

QString ProjectChooser::choose(const QString& lastProject) {
    const ChooserStart start = chooserStart(lastProject.toStdString(), QDir::homePath().toStdString());
    ProjectChooser chooser(QString::fromStdString(start.folder), QString::fromStdString(start.selected));
    return chooser.exec() == QDialog::Accepted ? chooser.chosen() : QString();
}

} // namespace kp::ui
