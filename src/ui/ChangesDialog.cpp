#include "ui/ChangesDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QVBoxLayout>

#include "history/PathPattern.h"
#include "platform/FileSystem.h"
#include "ui/ValueLabel.h"

namespace kp::ui {

namespace {

QString kindText(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::Added: return QStringLiteral("added");
    case ChangeKind::Deleted: return QStringLiteral("deleted");
    case ChangeKind::Modified: return QStringLiteral("modified");
    }
    return {};
}

QString sizeText(const StateChange& c) {
    if (c.isFolder) return {};
    switch (c.kind) {
    case ChangeKind::Added: return QString::number(c.newSize);
    case ChangeKind::Deleted: return QString::number(c.oldSize);
    case ChangeKind::Modified: return QStringLiteral("%1 → %2").arg(c.oldSize).arg(c.newSize);
    }
    return {};
}

} // namespace

ChangesDialog::ChangesDialog(const Project& project, const std::string& archive, QWidget* parent)
    : QDialog(parent), m_project(project), m_archive(archive) {
    setObjectName(QStringLiteral("ChangesDialog"));
    setWindowTitle(QStringLiteral("Changes since ") + QString::fromStdString(fileNamePart(archive)));
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
    m_diff = diffWithPresent(m_project, m_archive);
    QApplication::restoreOverrideCursor();
    if (!m_diff.ok()) {
        setValueText(m_summary, QString::fromStdString(m_diff.error));
        return;
    }
    for (const StateChange& c : m_diff.changes) {
        auto* row = new QTreeWidgetItem(m_list, {kindText(c.kind), QString::fromStdString(c.path), sizeText(c)});
        row->setData(1, Qt::UserRole, QString::fromStdString(c.path));
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    m_list->resizeColumnToContents(0);
    const DiffSummary s = summarize(m_diff.changes);
    setValueText(m_summary, m_diff.changes.empty()
                           ? QStringLiteral("The project is the same as this state.")
                           : QStringLiteral("%1 added, %2 deleted, %3 modified").arg(s.added).arg(s.deleted).arg(s.modified));
}

// A text with a wildcard is a pattern over the path, as kpad takes it; any other text
// keeps the rows whose path contains it, ignoring case.
void ChangesDialog::applyFilter(const QString& text) {
    const bool pattern = text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
    const std::string wanted = text.toStdString();
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_list->topLevelItem(i);
        const QString path = row->data(1, Qt::UserRole).toString();
        const bool shown = text.isEmpty() ||
                           (pattern ? matchesItemPattern(path.toStdString(), wanted, m_project.projectName())
                                    : path.contains(text, Qt::CaseInsensitive));
        row->setHidden(!shown);
    }
}

int ChangesDialog::shownCount() const {
    int n = 0;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) n += m_list->topLevelItem(i)->isHidden() ? 0 : 1;
    return n;
}

} // namespace kp::ui
