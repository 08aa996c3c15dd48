// The feed check in the main window: the command, the findings panel below
// the tab pages, and the question before export and upload.
#include "EntryListModel.h"
#include "uEntryDlg.h"
#include "uMain.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The entry dialog's control of each TNewsEntry field.
const struct
{
    const char* field;
    const char* control;
} kEntryControls[] = {
    {"title", "edtTitel"},        {"link", "edtLink"},     {"content", "memoText"},
    {"author", "edtAutor"},       {"email", "edtEmail"},   {"homepage", "edtHomepage"},
    {"guid", "edtGUID"},          {"date", "datePublish"}, {"time", "publishTime"},
    {"chkPublish", "chkPublish"},
};

// Brings the tab page holding `control` to the front, in any tab widget
// around it, and gives it the focus.
void revealAndFocus(QWidget* control)
{
    for (QWidget* w = control; w; w = w->parentWidget()) {
        QWidget* parent = w->parentWidget();
        if (!parent)
            break;
        if (auto* tabs = qobject_cast<QTabWidget*>(parent->parentWidget())) {
            const int index = tabs->indexOf(w);
            if (index >= 0)
                tabs->setCurrentIndex(index);
        }
    }
    control->setFocus(Qt::OtherFocusReason);
}

} // namespace

QWidget* TForm1::buildFindingsPanel(QWidget* parent)
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("panelFindings"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(2);
    m_findingsSummary = new QLabel(panel);
    m_findingsSummary->setObjectName(QStringLiteral("lblFindings"));
    lstFindings = new QTableWidget(0, 2, panel);
    lstFindings->setObjectName(QStringLiteral("lstFindings"));
    lstFindings->setHorizontalHeaderLabels({QStringLiteral("Ort"), QStringLiteral("Meldung")});
    lstFindings->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstFindings->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFindings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstFindings->setWordWrap(false);
    lstFindings->setShowGrid(false);
    lstFindings->verticalHeader()->hide();
    lstFindings->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lstFindings->horizontalHeader()->setStretchLastSection(true);
    lstFindings->setColumnWidth(0, 190);
    lstFindings->setMinimumHeight(120);
    lstFindings->setMaximumHeight(170);
    connect(lstFindings, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { runCommand(m_ui, this, [this, row] { goToFinding(row); }); });
    auto* heading = new QHBoxLayout;
    heading->addWidget(m_findingsSummary, 1);
    layout->addLayout(heading);
    layout->addWidget(lstFindings);
    panel->hide();
    return panel;
}

void TForm1::actCheckFeedExecute()
{
    showFindings(FeedCheck::run(documentFromControls(), checkOptions()));
}

FeedCheck::Options TForm1::checkOptions() const
{
    FeedCheck::Options options;
    if (m_options.clock)
        options.now = m_options.clock().toUTC();
    return options;
}

void TForm1::showFindings(const QList<FeedCheck::Finding>& findings)
{
    m_findings = findings;
    lstFindings->setRowCount(0);
    lstFindings->setRowCount(int(findings.size()));
    const QIcon errorIcon = style()->standardIcon(QStyle::SP_MessageBoxCritical);
    const QIcon warningIcon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    for (int row = 0; row < findings.size(); ++row) {
        const FeedCheck::Finding& f = findings[row];
        auto* place = new QTableWidgetItem(
            f.level == FeedCheck::Level::Error ? errorIcon : warningIcon, f.place());
        place->setToolTip(f.levelText());
        auto* message = new QTableWidgetItem(f.message);
        message->setToolTip(f.message);
        lstFindings->setItem(row, 0, place);
        lstFindings->setItem(row, 1, message);
    }
    lstFindings->resizeRowsToContents();
    m_findingsSummary->setText(
        findings.isEmpty() ? QStringLiteral("Feed geprüft: keine Fehler, keine Warnungen.")
                           : QStringLiteral("Feed geprüft: ") + FeedCheck::summary(findings) +
                                 QStringLiteral(" (Doppelklick führt zur Stelle)"));
    panelFindings->show();
}

void TForm1::goToFinding(int row)
{
    if (row < 0 || row >= m_findings.size())
        return;
    const FeedCheck::Finding& f = m_findings[row];
    if (!f.isEntry()) {
        if (auto* control = findChild<QWidget*>(f.key))
            revealAndFocus(control);
        return;
    }
    if (f.entry >= ListField.size())
        return;
    selectEntry(f.entry);
    tPageControl->setCurrentWidget(lstNews->parentWidget());
    TNewsEntry& entry = ListField.at(f.entry);
    TfrmEntry dialog(this, m_ui, m_options.clock);
    dialog.LoadFromObject(entry);
    for (const auto& c : kEntryControls) {
        if (f.key == QLatin1String(c.field)) {
            if (auto* control = dialog.findChild<QWidget*>(QString::fromLatin1(c.control)))
                revealAndFocus(control);
        }
    }
    if (!runEntryDialog(dialog))
        return;
    dialog.SaveToObject(entry);
    lstNews->clearSelection();
    m_entryModel->entryChanged(f.entry);
}

bool TForm1::confirmPublishing()
{
    // The check runs on the lent entries; the question comes after they are
    // back, since its event loop may run the recovery timer.
    QList<FeedCheck::Finding> findings;
    withDocument(
        [&](const FeedDocument& document) { findings = FeedCheck::run(document, checkOptions()); });
    if (panelFindings->isVisible())
        showFindings(findings);
    const int errors = FeedCheck::errorCount(findings);
    if (errors == 0)
        return true;
    const UserInteraction::Answer answer =
        m_ui.ask(this, QStringLiteral("Feed prüfen"),
                 QStringLiteral("Der Feed enthält %1 Fehler. Trotzdem fortfahren?").arg(errors),
                 UserInteraction::Icon::Question, false);
    if (answer == UserInteraction::Answer::Yes)
        return true;
    showFindings(findings);
    return false;
}
