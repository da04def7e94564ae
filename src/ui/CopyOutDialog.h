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
#include <memory>

#include "engine/CopyOutModel.h"

namespace Ui {
class CopyOutDialog;
}

namespace kp::ui {

class CopyOutDialog : public QDialog {
    Q_OBJECT
public:
    CopyOutDialog(const Project& project, const std::string& archive, QWidget* parent = nullptr);
    ~CopyOutDialog() override;

    // Tests and the keyboard: the folder the files go to, and the items chosen.
    void setTargetFolder(const QString& folder);
    void choose(const QStringList& paths);
    bool copyChosen(); // true when every chosen file was copied

private:
    // What the form cannot say: the buttons' roles and the connections.
    void setUpControls();
    void fill();
    void chooseFolder();
    void updateButton();
    std::vector<std::string> chosenPaths() const;

    CopyOutModel m_model;
    std::unique_ptr<Ui::CopyOutDialog> m_ui; // forms/CopyOutDialog.ui
    QLineEdit* m_filter = nullptr;
    QTreeWidget* m_files = nullptr;
    QLineEdit* m_folder = nullptr;
    QCheckBox* m_overwrite = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_copy = nullptr;
};

} // namespace kp::ui
