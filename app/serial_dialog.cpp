#include "serial_dialog.h"

#include "baud.h"
#include "command.h"
#include "serial_port.h"
#include "serial_source.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

using namespace Qt::StringLiterals;

namespace {
class Words {
    Q_DECLARE_TR_FUNCTIONS(SerialDialog)
};
} // namespace

SerialDialog::SerialDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(u"SerialDialog"_s);
    setWindowTitle(Words::tr("从串口接收"));

    ports = new QComboBox(this);
    ports->setObjectName(u"ports"_s);
    ports->setEditable(true);
    ports->setInsertPolicy(QComboBox::NoInsert);
    for (const hexjpg::PortInfo &info : hexjpg::availablePorts()) {
        const QString what = info.description.isEmpty() ? info.manufacturer : info.description;
        ports->addItem(what.isEmpty() ? info.name : u"%1 — %2"_s.arg(info.name, what),
                       info.location);
    }

    baudRate = new QComboBox(this);
    baudRate->setObjectName(u"baudRate"_s);
    baudRate->setEditable(true);
    baudRate->setInsertPolicy(QComboBox::NoInsert);
    for (const int rate : {9600, 19200, 38400, 57600, 115200, 230400, 250000, 460800, 500000,
                           921600, 1000000, 1500000, 2000000, 3000000})
        baudRate->addItem(QString::number(rate));
    baudRate->setCurrentText(QString::number(hexjpg::kDefaultBaud));
    baudRate->setValidator(new QIntValidator(1, int(hexjpg::kMaxBaud), baudRate));

    dtr = new QCheckBox(u"DTR"_s, this);
    dtr->setObjectName(u"dtr"_s);
    rts = new QCheckBox(u"RTS"_s, this);
    rts->setObjectName(u"rts"_s);
    commandText = new QLineEdit(this);
    commandText->setObjectName(u"commandText"_s);
    commandText->setPlaceholderText(Words::tr("打开串口后发送，例如 c\\r\\n"));
    commandIsHex = new QCheckBox(Words::tr("十六进制"), this);
    commandIsHex->setObjectName(u"commandIsHex"_s);

    reconnectSeconds = new QSpinBox(this);
    reconnectSeconds->setObjectName(u"reconnectSeconds"_s);
    reconnectSeconds->setRange(0, 3600);
    reconnectSeconds->setValue(ReceiveChoices::kDefaultReconnectSeconds);
    reconnectSeconds->setSuffix(Words::tr(" 秒"));
    reconnectSeconds->setSpecialValueText(Words::tr("不重新打开"));
    saveEach = new QCheckBox(Words::tr("每张图片另存到(&F)："), this);
    saveEach->setObjectName(u"saveEach"_s);
    saveFolder = new QLineEdit(this);
    saveFolder->setObjectName(u"saveFolder"_s);
    auto *browse = new QPushButton(Words::tr("浏览…"), this);
    connect(browse, &QPushButton::clicked, this, &SerialDialog::chooseFolder);

    rawFormat = new QComboBox(this);
    rawFormat->setObjectName(u"rawFormat"_s);
    rawFormat->addItem(Words::tr("图片（原始图像按停顿判断）"), QString());
    for (const hexjpg::RawFormat format : hexjpg::rawFormats())
        rawFormat->addItem(hexjpg::rawFormatWords(format), hexjpg::rawFormatName(format));
    rawSize = new QLineEdit(this);
    rawSize->setObjectName(u"rawSize"_s);
    rawSize->setPlaceholderText(Words::tr("宽x高，例如 160x120"));
    frameMarker = new QLineEdit(this);
    frameMarker->setObjectName(u"frameMarker"_s);
    frameMarker->setPlaceholderText(Words::tr("帧前的标记，例如 *RDY*"));
    connect(rawFormat, &QComboBox::currentIndexChanged, this, &SerialDialog::check);
    connect(rawSize, &QLineEdit::textChanged, this, &SerialDialog::check);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *start = buttons->addButton(Words::tr("开始"), QDialogButtonBox::AcceptRole);
    start->setObjectName(u"start"_s);
    start->setDefault(true);
    buttons->addButton(Words::tr("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ports, &QComboBox::currentTextChanged, this, &SerialDialog::check);
    connect(baudRate, &QComboBox::currentTextChanged, this, &SerialDialog::check);
    connect(commandText, &QLineEdit::textChanged, this, &SerialDialog::check);
    connect(commandIsHex, &QCheckBox::toggled, this, &SerialDialog::check);
    connect(saveEach, &QCheckBox::toggled, this, &SerialDialog::check);
    connect(saveFolder, &QLineEdit::textChanged, this, &SerialDialog::check);

    auto *form = new QFormLayout(this);
    form->addRow(Words::tr("串口(&P)："), ports);
    if (ports->count() == 0) {
        auto *none = new QLabel(SerialSource::noPorts(), this);
        none->setWordWrap(true);
        form->addRow(none);
    }
    form->addRow(Words::tr("波特率(&B)："), baudRate);
    auto *lines = new QHBoxLayout;
    lines->addWidget(dtr);
    lines->addWidget(rts);
    lines->addStretch();
    form->addRow(Words::tr("打开时接通："), lines);
    auto *send = new QHBoxLayout;
    send->addWidget(commandText, 1);
    send->addWidget(commandIsHex);
    form->addRow(Words::tr("发送(&S)："), send);
    form->addRow(Words::tr("断开后重新打开(&R)："), reconnectSeconds);
    auto *save = new QHBoxLayout;
    save->addWidget(saveFolder, 1);
    save->addWidget(browse);
    form->addRow(saveEach, save);
    auto *raw = new QHBoxLayout;
    raw->addWidget(rawFormat, 1);
    raw->addWidget(rawSize);
    raw->addWidget(frameMarker);
    form->addRow(Words::tr("数据(&D)："), raw);
    form->addRow(buttons);
    check();
}

QString SerialDialog::port() const
{
    // A listed port by its place in the system; a typed one as typed.
    const int listed = ports->findText(ports->currentText());
    return listed >= 0 ? ports->itemData(listed).toString() : ports->currentText().trimmed();
}

qint32 SerialDialog::baud() const
{
    return hexjpg::baudRate(baudRate->currentText());
}

hexjpg::SerialPort::Settings SerialDialog::settings() const
{
    return {baud(), dtr->isChecked(), rts->isChecked()};
}

std::optional<QByteArray> SerialDialog::command() const
{
    return choices().commandBytes();
}

void SerialDialog::setChoices(const ReceiveChoices &choices)
{
    // A kept port is chosen by its place in the system when it is listed, else shown as typed.
    const int listed = ports->findData(choices.port);
    if (listed >= 0)
        ports->setCurrentIndex(listed);
    else if (!choices.port.isEmpty())
        ports->setCurrentText(choices.port);
    baudRate->setCurrentText(QString::number(choices.settings.baud));
    dtr->setChecked(choices.settings.dtr);
    rts->setChecked(choices.settings.rts);
    commandText->setText(choices.command);
    commandIsHex->setChecked(choices.commandIsHex);
    reconnectSeconds->setValue(choices.reconnectSeconds);
    saveEach->setChecked(choices.saveEach);
    saveFolder->setText(QDir::toNativeSeparators(choices.saveFolder));
    rawFormat->setCurrentIndex(std::max(0, rawFormat->findData(choices.rawFormat)));
    rawSize->setText(choices.rawSize);
    frameMarker->setText(choices.frameMarker);
    check();
}

ReceiveChoices SerialDialog::choices() const
{
    ReceiveChoices choices;
    choices.port = port();
    choices.settings = settings();
    choices.command = commandText->text();
    choices.commandIsHex = commandIsHex->isChecked();
    choices.reconnectSeconds = reconnectSeconds->value();
    choices.saveEach = saveEach->isChecked();
    choices.saveFolder = QDir::fromNativeSeparators(saveFolder->text().trimmed());
    choices.rawFormat = rawFormat->currentData().toString();
    choices.rawSize = rawSize->text().trimmed();
    choices.frameMarker = frameMarker->text();
    return choices;
}

void SerialDialog::chooseFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, Words::tr("每张图片另存到"), saveFolder->text());
    if (folder.isEmpty())
        return;
    saveFolder->setText(QDir::toNativeSeparators(folder));
    saveEach->setChecked(true);
}

// 开始 waits for a port, a rate, a command that reads, when every picture is kept a folder that is
// there, and for raw frames a size that fits the format. The size and marker are for raw frames.
void SerialDialog::check()
{
    const QString folder = saveFolder->text().trimmed();
    const bool folderReady =
        !saveEach->isChecked() || (!folder.isEmpty() && QFileInfo(folder).isDir());
    const ReceiveChoices chosen = choices();
    const bool raw = !chosen.rawFormat.isEmpty();
    rawSize->setEnabled(raw);
    frameMarker->setEnabled(raw);
    if (auto *buttons = findChild<QDialogButtonBox *>())
        if (auto *start = buttons->findChild<QPushButton *>(u"start"_s))
            start->setEnabled(!port().isEmpty() && baud() > 0 && command().has_value() &&
                              folderReady && (!raw || chosen.rawFrames()));
}
