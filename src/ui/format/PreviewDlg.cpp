#include "ui/format/PreviewDlg.h"

#include "ui/format/FormatControls.h"
#include "ui/shell/DialogUnits.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace ostrel {
namespace {

constexpr int kPollMs = 400;

QString text(const std::string& codePageText)
{
    return fromCodePage(codePageText);
}

} // namespace

PreviewDlg::PreviewDlg(SettingsPaths paths, LayoutSource layout, QWidget* parent)
    : QDialog(parent), m_paths(std::move(paths)), m_layout(std::move(layout))
{
    setObjectName(QStringLiteral("previewDlg"));
    setWindowTitle(QStringLiteral("Preview"));
    setFont(dialogFont());
    const DialogUnits units(font());
    setFixedSize(units.size(420, 230));
    m_status = placeControl<QLabel>(this, units, "previewStatusLabel", 1201, {7, 5, 406, 30});
    m_status->setWordWrap(true);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_table = placeControl<QTableWidget>(this, units, "previewTable", 1200, {7, 37, 406, 167});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->setVisible(false);
    auto* close = placeControl<QPushButton>(this, units, "closeButton", 2, {363, 209, 50, 14},
                                            QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &PreviewDlg::lookAgain);
    m_poll.start();
    lookAgain();
}

PreviewDlg::~PreviewDlg()
{
    m_poll.stop();
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void PreviewDlg::lookAgain()
{
    if (m_working || (!isVisible() && m_shown)) {
        return;
    }
    const WindowLayout layout = m_layout();
    if (m_shown == layout) {
        return;
    }
    start(layout);
}

void PreviewDlg::start(const WindowLayout& layout)
{
    if (m_worker.joinable()) {
        m_worker.join(); // ended: it posted its result
    }
    m_working = true;
    m_status->setText(QStringLiteral("Reading the sample file..."));
    m_worker = std::thread([this, layout] {
        WindowPreview preview = previewWindowLayout(m_paths, layout, kRecordsShown);
        m_calls.post([this, layout, preview = std::move(preview)] {
            m_working = false;
            m_shown = layout;
            showPreview(preview);
        });
    });
}

void PreviewDlg::showPreview(const WindowPreview& preview)
{
    m_table->clear();
    const PreviewFile& file = preview.file;
    if (!preview.problem.empty()) {
        m_status->setText(text(preview.problem));
        m_table->setRowCount(0);
        m_table->setColumnCount(0);
        emit previewShown();
        return;
    }
    QStringList notes{QStringLiteral("%1: %2, read as %3, %4 data line(s); a value marked * "
                                     "was changed by a replacement rule.")
                          .arg(text(file.path.substr(file.path.find_last_of('/') + 1)),
                               QString::fromStdString(file.layout),
                               QString::fromStdString(file.encoding))
                          .arg(file.lineCount)};
    for (const std::string& warning : file.warnings) {
        notes << QString::fromStdString(warning);
    }
    m_status->setText(notes.join(QLatin1Char('\n')));
    m_status->setToolTip(text(file.path));

    QStringList headers{QStringLiteral("Line"),      QStringLiteral("Action"),
                        QStringLiteral("Dept"),      QStringLiteral("PLU No"),
                        QStringLiteral("Item Code"), QStringLiteral("Price")};
    for (const PreviewLine& line : file.lines) {
        if (line.action >= 1) {
            for (const PreviewField& field : line.fields) {
                headers << text(field.name);
            }
            break;
        }
    }
    m_table->setColumnCount(static_cast<int>(headers.size()));
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setRowCount(static_cast<int>(file.lines.size()));
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    for (int row = 0; row < static_cast<int>(file.lines.size()); ++row) {
        const PreviewLine& line = file.lines[static_cast<std::size_t>(row)];
        const auto cell = [&](int column, const QString& value) {
            auto* item = new QTableWidgetItem(value);
            if (line.action < 1) {
                item->setForeground(grey);
            }
            m_table->setItem(row, column, item);
        };
        cell(0, QString::number(line.fileLine));
        if (line.action < 1) {
            cell(1, QString::fromStdString(line.skipReason));
            continue;
        }
        cell(1, line.action == 4 ? QStringLiteral("delete") : QStringLiteral("insert"));
        cell(2, QString::number(line.department));
        cell(3, QString::number(line.pluNumber));
        cell(4, QString::number(line.itemCode));
        cell(5, QString::fromStdString(line.price) +
                    (line.partialRead.empty() ? QString() : QStringLiteral(" !")));
        if (!line.partialRead.empty()) {
            m_table->item(row, 5)->setToolTip(QString::fromStdString(line.partialRead));
        }
        for (std::size_t n = 0; n < line.fields.size(); ++n) {
            const PreviewField& field = line.fields[n];
            cell(6 + static_cast<int>(n),
                 text(field.value) + (field.changedByRule ? QStringLiteral(" *") : QString()));
        }
    }
    m_table->resizeColumnsToContents();
    emit previewShown();
}

} // namespace ostrel
