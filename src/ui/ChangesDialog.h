// "Show changes…": what differs between a stored state and the project as it is now,
// with a filter box. Read-only towards the project and its archives.
#pragma once
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <memory>

#include "engine/ChangesModel.h"

namespace Ui {
class ChangesDialog;
}

namespace kp::ui {

class ChangesDialog : public QDialog {
    Q_OBJECT
public:
    ChangesDialog(const Project& project, const std::string& archive, QWidget* parent = nullptr);
    ~ChangesDialog() override;

    int shownCount() const; // rows that pass the filter

private:
    void fill();
    void applyFilter(const QString& text);

    ChangesModel m_model;
    std::unique_ptr<Ui::ChangesDialog> m_ui; // forms/ChangesDialog.ui
    QLineEdit* m_filter = nullptr;
    QTreeWidget* m_list = nullptr;
    QLabel* m_summary = nullptr;
};

} // namespace kp::ui
