#include "ui/ChangesDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>

#include "ui/ValueLabel.h"
#include "ui_ChangesDialog.h"

namespace kp::ui {

ChangesDialog::ChangesDialog(const Project& project, const std::string& archive, QWidget* parent)
    : QDialog(parent), m_model(project, archive), m_ui(std::make_unique<Ui::ChangesDialog>()) {
    m_ui->setupUi(this);
    setWindowTitle(QString::fromStdString(m_model.caption()));
    m_filter = m_ui->ChangesFilter;
    m_list = m_ui->ChangesList;
    m_summary = m_ui->ChangesSummary;
    m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    nameValueLabel(m_summary, QStringLiteral("Summary"));
    connect(m_ui->ChangesButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, this, &ChangesDialog::applyFilter);
    fill();
}

ChangesDialog::~ChangesDialog() = default;

void ChangesDialog::fill() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_model.load();
    QApplication::restoreOverrideCursor();
    for (const ChangeRow& c : m_model.rows()) {
        auto* row = new QTreeWidgetItem(m_list, {QString::fromStdString(c.change), QString::fromStdString(c.path),
                                                 QString::fromStdString(c.size)});
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_list->resizeColumnToContents(0);
    setValueText(m_summary, QString::fromStdString(m_model.summaryText()));
}

void ChangesDialog::applyFilter(const QString& text) {
    const std::string filter = text.toStdString();
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        m_list->topLevelItem(i)->setHidden(!m_model.rowShown(m_model.rows()[std::size_t(i)], filter));
}

int ChangesDialog::shownCount() const {
    int n = 0;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) n += m_list->topLevelItem(i)->isHidden() ? 0 : 1;
    return n;
}

} // namespace kp::ui
