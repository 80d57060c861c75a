#pragma once

// --raw: the bytes read are one raw camera frame of a given format and size, written as a picture
// every viewer opens (1.jpg, or 1.png with --png).

#include "options.h"
#include "output.h"
#include "report.h"

#include <QByteArray>

// A short text before the frame (a marker such as *RDY*) is passed over, up to this many bytes.
inline constexpr qsizetype kMaxFrameLead = 64;

// Writes the frame in bytes; returns the exit status, having said and reported what it did.
int writeRawFrame(const QByteArray &bytes, const Options &options, const Output &output,
                  Report &report);

// Bytes that hold no picture: where they read as a raw frame, the guess goes into the report,
// with the options that convert it.
void suggestRawFrame(QByteArrayView bytes, Report &report);
