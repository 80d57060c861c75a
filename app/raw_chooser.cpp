#include "raw_chooser.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(RawChooser)
};
} // namespace

RawChooser::RawChooser(const std::vector<hexjpg::RawCandidate> &candidates,
                       const std::vector<QImage> &thumbnails, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"RawChooser"_s);
    setWindowTitle(Words::tr("选择原始图像的读法"));

    readings = new QListWidget(this);
    readings->setObjectName(u"readings"_s);
    readings->setViewMode(QListView::IconMode);
    readings->setIconSize({kThumbnailSide, kThumbnailSide});
    readings->setGridSize({kThumbnailSide + 48, kThumbnailSide + 48});
    readings->setResizeMode(QListView::Adjust);
    readings->setMovement(QListView::Static);
    readings->setWordWrap(true);
    for (std::size_t i = 0; i < candidates.size() && i < thumbnails.size(); ++i) {
        const hexjpg::RawCandidate &c = candidates[i];
        auto *item = new QListWidgetItem(
            QIcon(QPixmap::fromImage(thumbnails[i])),
            Words::tr("%1\n粗糙度 %2").arg(hexjpg::rawCandidateWords(c)).arg(c.score(), 0, 'f', 1),
            readings);
        item->setToolTip(hexjpg::rawGuessWords(c));
    }
    readings->setCurrentRow(0);
    // Six readings in three columns and two rows, with room for the frame and a scroll bar.
    const int edges =
        2 * readings->frameWidth() + 8 + readings->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    readings->setMinimumSize(3 * (kThumbnailSide + 48) + edges, 2 * (kThumbnailSide + 48) + edges);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *take = buttons->addButton(Words::tr("使用这张图片"), QDialogButtonBox::AcceptRole);
    take->setDefault(true);
    buttons->addButton(Words::tr("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(readings, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(readings, &QListWidget::currentRowChanged, take,
            [take](int row) { take->setEnabled(row >= 0); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(readings);
    layout->addWidget(buttons);
}

int RawChooser::chosen() const
{
    return readings->currentRow();
}

QImage RawChooser::thumbnail(QByteArrayView bytes, const hexjpg::RawCandidate &reading)
{
    const QImage frame = hexjpg::rawReadingImage(bytes, reading);
    if (frame.width() <= kThumbnailSide && frame.height() <= kThumbnailSide)
        return frame;
    return frame.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio,
                        Qt::SmoothTransformation);
}
