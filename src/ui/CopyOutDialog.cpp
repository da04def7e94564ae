#include "ui/CopyOutDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>

#include "ui/MessageBox.h"
#include "ui/ValueLabel.h"
#include "ui_CopyOutDialog.h"

namespace kp::ui {

CopyOutDialog::CopyOutDialog(const Project& project, const std::string& archive, QWidget* parent)
    : QDialog(parent), m_model(project, archive), m_ui(std::make_unique<Ui::CopyOutDialog>()) {
    m_ui->setupUi(this);
    setWindowTitle(QString::fromStdString(m_model.caption()));
    setUpControls();
    fill();
    updateButton();
}

CopyOutDialog::~CopyOutDialog() = default;

void CopyOutDialog::setUpControls() {
    Ui::CopyOutDialog& ui = *m_ui;
    m_filter = ui.CopyFilter;
    m_files = ui.CopyFiles;
    m_folder = ui.CopyFolder;
    m_overwrite = ui.CopyOverwrite;
    m_progress = ui.CopyProgress;
    m_status = ui.CopyStatus;
    m_files->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    nameValueLabel(m_status, QStringLiteral("Status"));

    m_copy = ui.CopyButtons->addButton(QStringLiteral("Copy"), QDialogButtonBox::AcceptRole);
    m_copy->setObjectName(QStringLiteral("CopyButton"));
    ui.CopyButtons->addButton(QDialogButtonBox::Close);
    connect(ui.CopyButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_copy, &QPushButton::clicked, this, [this] {
        if (copyChosen()) accept();
    });
    connect(ui.CopyChooseFolder, &QPushButton::clicked, this, &CopyOutDialog::chooseFolder);
    connect(m_folder, &QLineEdit::textChanged, this, &CopyOutDialog::updateButton);
    connect(m_files, &QTreeWidget::itemChanged, this, &CopyOutDialog::updateButton);
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        const std::string filter = text.toStdString();
        for (int i = 0; i < m_files->topLevelItemCount(); ++i)
            m_files->topLevelItem(i)->setHidden(!CopyOutModel::rowShown(m_model.rows()[std::size_t(i)], filter));
    });
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
        MessageBox::show(this, MessageBox::Kind::Error, QString::fromStdString(result.errorText()));
        return false;
    }
    setValueText(m_status, QString::fromStdString(CopyOutModel::copiedText(result, m_folder->text().toStdString())));
    return true;
}

} // namespace kp::ui
