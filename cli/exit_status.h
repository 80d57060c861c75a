#pragma once

// hexjpg-cli's exit statuses, as its --help lists them, whether it reads a file or a serial port.
enum ExitStatus { Picture = 0, WriteFailed = 1, BadInput = 2, NotAPicture = 3, Incomplete = 4 };
