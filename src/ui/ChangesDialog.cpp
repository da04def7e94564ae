#include "ui/ChangesDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QVBoxLayout>

#include "ui/ValueLabel.h"

namespace kp::ui {

ChangesDialog::ChangesDialog(const Project& project, const std::string& archive, QWidget* parent)
    : QDialog(parent), m_model(project, archive) {
    setObjectName(QStringLiteral("ChangesDialog"));
    setWindowTitle(QString::fromStdString(m_model.caption()));
    resize(620, 440);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("ChangesFilter"));
    m_filter->setAccessibleName(QStringLiteral("Filter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter: part of a path, or a pattern such as docs/*.txt"));
    m_filter->setClearButtonEnabled(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ChangesList"));
    m_list->setAccessibleName(QStringLiteral("Changed files"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Change"), QStringLiteral("Path"), QStringLiteral("Size (bytes)")});
    m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("ChangesSummary"));
    nameValueLabel(m_summary, QStringLiteral("Summary"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);
    connect(m_filter, &QLineEdit::textChanged, this, &ChangesDialog::applyFilter);
    fill();
}

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
