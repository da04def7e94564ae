// "Copy files out…": chosen files of a stored state copied into a folder of the user's
// choice, without touching the project or its archives.
#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "engine/CopyOutModel.h"

namespace kp::ui {

class CopyOutDialog : public QDialog {
    Q_OBJECT
public:
    CopyOutDialog(const Project& project, const std::string& archive, QWidget* parent = nullptr);

    // Tests and the keyboard: the folder the files go to, and the items chosen.
    void setTargetFolder(const QString& folder);
    void choose(const QStringList& paths);
    bool copyChosen(); // true when every chosen file was copied

private:
    void fill();
    void chooseFolder();
    void updateButton();
    std::vector<std::string> chosenPaths() const;

    CopyOutModel m_model;
    QLineEdit* m_filter = nullptr;
    QTreeWidget* m_files = nullptr;
    QLineEdit* m_folder = nullptr;
    QCheckBox* m_overwrite = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_copy = nullptr;
};

} // namespace kp::ui
