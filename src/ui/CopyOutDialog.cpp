#include "ui/CopyOutDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "ui/MessageBox.h"
#include "ui/ValueLabel.h"

namespace kp::ui {

CopyOutDialog::CopyOutDialog(const Project& project, const std::string& archive, QWidget* parent)
    : QDialog(parent), m_model(project, archive) {
    setObjectName(QStringLiteral("CopyOutDialog"));
    setWindowTitle(QString::fromStdString(m_model.caption()));
    resize(620, 480);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("CopyFilter"));
    m_filter->setAccessibleName(QStringLiteral("Filter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter: part of a path"));
    m_filter->setClearButtonEnabled(true);

    m_files = new QTreeWidget(this);
    m_files->setObjectName(QStringLiteral("CopyFiles"));
    m_files->setAccessibleName(QStringLiteral("Files of the state"));
    m_files->setRootIsDecorated(false);
    m_files->setUniformRowHeights(true);
    m_files->setHeaderLabels({QStringLiteral("Path"), QStringLiteral("Size (bytes)")});
    m_files->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_files->header()->setStretchLastSection(false);

    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("CopyFolder"));
    m_folder->setAccessibleName(QStringLiteral("Target folder"));
    auto* browse = new QPushButton(QStringLiteral("Choose…"), this);
    browse->setObjectName(QStringLiteral("CopyChooseFolder"));
    browse->setAccessibleName(QStringLiteral("Choose folder"));
    m_overwrite = new QCheckBox(QStringLiteral(" Replace files that exist"), this);
    m_overwrite->setObjectName(QStringLiteral("CopyOverwrite"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("CopyProgress"));
    m_progress->setAccessibleName(QStringLiteral("Copy progress"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("CopyStatus"));
    nameValueLabel(m_status, QStringLiteral("Status"));
    m_status->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_copy = buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::AcceptRole);
    m_copy->setObjectName(QStringLiteral("CopyButton"));
    buttons->addButton(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_copy, &QPushButton::clicked, this, [this] {
        if (copyChosen()) accept();
    });
    connect(browse, &QPushButton::clicked, this, &CopyOutDialog::chooseFolder);
    connect(m_folder, &QLineEdit::textChanged, this, &CopyOutDialog::updateButton);
    connect(m_files, &QTreeWidget::itemChanged, this, &CopyOutDialog::updateButton);
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        const std::string filter = text.toStdString();
        for (int i = 0; i < m_files->topLevelItemCount(); ++i)
            m_files->topLevelItem(i)->setHidden(!CopyOutModel::rowShown(m_model.rows()[std::size_t(i)], filter));
    });

    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("Copy to:"), this));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_filter);
    layout->addWidget(m_files, 1);
    layout->addLayout(folderRow);
    layout->addWidget(m_overwrite);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    fill();
    updateButton();
}

void CopyOutDialog::fill() {
    if (!m_model.load()) {
        setValueText(m_status, QString::fromStdString(m_model.loadError()));
        return;
    }
    for (const CopyRow& r : m_model.rows()) {
        auto* row = new QTreeWidgetItem(m_files, {QString::fromStdString(r.path), QString::fromStdString(r.size)});
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Unchecked);
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void CopyOutDialog::chooseFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Copy files to"), m_folder->text());
    if (!folder.isEmpty()) setTargetFolder(folder);
}

void CopyOutDialog::setTargetFolder(const QString& folder) { m_folder->setText(folder); }

void CopyOutDialog::choose(const QStringList& paths) {
    for (int i = 0; i < m_files->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_files->topLevelItem(i);
        row->setCheckState(0, paths.contains(row->text(0)) ? Qt::Checked : Qt::Unchecked);
    }
}

std::vector<std::string> CopyOutDialog::chosenPaths() const {
    std::vector<std::string> paths;
    for (int i = 0; i < m_files->topLevelItemCount(); ++i)
        if (m_files->topLevelItem(i)->checkState(0) == Qt::Checked)
            paths.push_back(m_files->topLevelItem(i)->text(0).toStdString());
    return paths;
}

void CopyOutDialog::updateButton() {
    m_copy->setEnabled(CopyOutModel::copyEnabled(m_folder->text().toStdString(), chosenPaths().size()));
}

bool CopyOutDialog::copyChosen() {
    const std::vector<std::string> paths = chosenPaths();
    const std::string folder = m_folder->text().toStdString();
    if (!CopyOutModel::copyEnabled(folder, paths.size())) return false;
    const CopyResult result = m_model.copy(paths, folder, m_overwrite->isChecked(), [this](const CopyProgress& p) {
        m_progress->setValue(CopyOutModel::percent(p));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    if (!result.existing.empty()) {
        MessageBox::show(this, MessageBox::Kind::Plain, QString::fromStdString(CopyOutModel::existingText(result.existing)));
        return false;
    }
    if (!result.ok()) {
        MessageBox::show(this, MessageBox::Kind::Error, QString::fromStdString(result.error));
        return false;
    }
    setValueText(m_status, QString::fromStdString(CopyOutModel::copiedText(result, m_folder->text().toStdString())));
    return true;
}

} // namespace kp::ui
