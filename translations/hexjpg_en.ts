<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Cli</name>
    <message>
        <source>1.jpg 只会被整个替换：写入失败或中断时原有的 1.jpg 保持不变。
写入之后按图片读取刚写入的字节，检查它是否为图片、是否完整，并把诊断写到标准错误：
图片从哪里开始、前后有多少多余的字节、格式和像素、解码了多少行、解码器的警告。
过大、扫描过多或解码过久的图片不算图片。解码一次运行共用 5 秒（--all 为 30 秒），
用完后其余的图片照样写入，但不再检查。超过 1 GiB 的文本不予处理。
--all 最多写入 1,000 个文件；文件夹里接着编号的旧文件会被指出，不会被删除。
--json 无论成败都在标准输出上写一个对象，失败时带有原因（reason）。
不用 -f 和 --all 时边读边写，内存用量不随文本变大；用了则整个文本读入内存。
1.jpg 若是符号链接，只在内核的 protected_symlinks 规则允许时才跟随：文件夹不是
“他人可写且带粘滞位”的（如 /tmp），或者链接属于本用户或文件夹的主人。

--serial 从串口（/dev/ttyUSB0、COM3 等，8N1，无流控）接收，直到 Ctrl+C、串口断开或收满
--count 张。收到的可以是任何宽松读法认得的十六进制文本，也可以是图片本身的字节。
每收完一张图片就写入 1.jpg（用 --all 时依次写入 1.jpg、2.jpg……），并在标准输出上写一行
（用 --json 时每个事件一行 JSON）。图片开始后 2 秒没有新的字节，或者在结尾之前又来了
新的图片，这张图片就按不完整写入。串口断开时退出状态为 2。

退出状态：
  0  已写入，且是图片
  1  无法写入文件（给出路径和原因）
  2  用法错误、无法读取输入、输入太长，或一个字节也没有读到（原有的 1.jpg 保持不变）
  3  已写入，但不是图片（照片不正确！）
  4  已写入，也能显示，但图片不完整</source>
        <translation>1.jpg is only ever replaced whole: when writing fails or is interrupted, the earlier 1.jpg stays
as it was. After writing, the bytes just written are read as a picture to check that they are one
and that it is complete, and the diagnosis goes to standard error: where the picture starts, how
many extra bytes lie before and after it, its format and pixels, how many rows decoded, and the
decoder&apos;s warnings. A picture that is too large, has too many scans or takes too long to decode
counts as no picture. Decoding has 5 seconds for a whole run (30 with --all); once they are used
up, the remaining pictures are still written but no longer checked. Text over 1 GiB is refused.
--all writes at most 1,000 files; older files numbered on in the folder are pointed out, not deleted.
--json writes one object to standard output whatever happens, with the reason on a failure.
Without -f and --all the text is decoded as it is read, in memory that does not grow with it;
with them the whole text is read into memory.
A 1.jpg that is a symbolic link is followed only where the kernel&apos;s protected_symlinks rule allows:
where the folder is not &quot;writable by others and sticky&quot; (like /tmp), or the link belongs to you
or to the folder&apos;s owner.

--serial receives from a serial port (/dev/ttyUSB0, COM3, ...; 8N1, no flow control) until Ctrl+C,
until the port goes away, or until --count pictures have come. What arrives may be hex text in
any layout the forgiving reading knows, or the pictures&apos; own bytes. Each picture is written to
1.jpg the moment it has arrived (with --all to 1.jpg, 2.jpg, ... in turn), and one line on
standard output says so (with --json, one line of JSON for each event). A picture that receives
no byte for 2 seconds, or that a new picture interrupts before its end, is written as incomplete.
When the port goes away the exit status is 2.

Exit status:
  0  written, and a picture
  1  the file could not be written (the path and the reason are given)
  2  bad usage, an unreadable input, an input too long, or not a single byte read (the earlier
     1.jpg stays as it was)
  3  written, but not a picture (The picture is not valid!)
  4  written and shown, but the picture is incomplete</translation>
    </message>
    <message>
        <source>把 JPEG 图片的十六进制文本（“FF D8 。。。FF D9”）转换成图片文件 1.jpg。
从“文件”读取文本；没有给出文件或文件为“-”时从标准输入读取。文本按 UTF-8 读取，
以字节顺序标记开头的按 UTF-16 读取（Windows 记事本存为“Unicode”的文件）。
空白、制表符和换行只起分隔作用；其余字符按位置两个一组读作一个字节。</source>
        <translation>Turns the hex text of a JPEG picture (&quot;FF D8 ... FF D9&quot;) into the picture file 1.jpg.
The text is read from FILE, or from standard input when no FILE or &quot;-&quot; is given, as UTF-8,
or as UTF-16 where it starts with a byte-order mark (a file Windows Notepad saved as &quot;Unicode&quot;).
Blanks, tabs and line breaks only separate; every other character counts, two at a time, as a byte.</translation>
    </message>
    <message>
        <source>宽松读法：也读不补零的字节（Arduino 的 Serial.print(b, HEX)）、0x、\x、&amp;H、$ 前缀和 h 后缀、Python 的 b&apos;…&apos;、xxd、hexdump -C、ESP-IDF 和 od -x 的输出、十进制列表和 Base64，跳过时间戳、日志前缀、注释和文字行；1.jpg 是文本里最后一张完整的图片。</source>
        <translation>Forgiving reading: also bytes without their leading zero (Arduino&apos;s Serial.print(b, HEX)), 0x, \x, &amp;H and $ prefixes and h suffixes, Python&apos;s b&apos;...&apos;, the output of xxd, hexdump -C, ESP-IDF and od -x, decimal lists and Base64; timestamps, log prefixes, comments and lines of words are skipped. 1.jpg is the newest complete picture in the text.</translation>
    </message>
    <message>
        <source>把找到的每张图片分别存为 1.jpg、2.jpg……，并列出它们。</source>
        <translation>Save every picture found as 1.jpg, 2.jpg, ... and list them.</translation>
    </message>
    <message>
        <source>把诊断和图片列表以 JSON 写到标准输出。</source>
        <translation>Write the diagnosis and the list of pictures to standard output as JSON.</translation>
    </message>
    <message>
        <source>从串口接收图片，不读文件。</source>
        <translation>Receive pictures from a serial port instead of reading a file.</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>PORT</translation>
    </message>
    <message>
        <source>收到这么多张图片后结束。</source>
        <translation>End once this many pictures have arrived.</translation>
    </message>
    <message>
        <source>张数</source>
        <translation>N</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>FILE</translation>
    </message>
    <message>
        <source>十六进制文本；没有或为“-”时读标准输入。</source>
        <translation>The hex text; standard input when missing or &quot;-&quot;.</translation>
    </message>
    <message>
        <source>[文件]</source>
        <translation>[FILE]</translation>
    </message>
    <message>
        <source>只能读一个文件</source>
        <translation>Only one file can be read</translation>
    </message>
    <message>
        <source>--serial 不能和文件或 -f 一起用：串口收到的总是宽松地读</source>
        <translation>--serial cannot go with a file or -f: what a serial port brings is always read forgivingly</translation>
    </message>
    <message>
        <source>波特率应当是正整数：%1</source>
        <translation>The baud rate must be a positive whole number: %1</translation>
    </message>
    <message>
        <source>--count 应当是正整数：%1</source>
        <translation>--count must be a positive whole number: %1</translation>
    </message>
    <message>
        <source>读法：</source>
        <translation>Reading: </translation>
    </message>
    <message>
        <source>内存不足：文本太大，无法处理</source>
        <translation>Out of memory: the text is too large to process</translation>
    </message>
    <message>
        <source>无法读取文件：</source>
        <translation>Cannot read the file: </translation>
    </message>
    <message>
        <source>输入太长：超过 %1 字节。这么长的文本不会是一张照片的十六进制文本。</source>
        <translation>The input is too long: over %1 bytes. Text this long is not the hex text of a photo.</translation>
    </message>
    <message>
        <source>请将数据粘贴文本框中</source>
        <translation>Please paste the data into the text box</translation>
    </message>
    <message>
        <source>文本每隔一个字节就是一个 NUL：它像是没有字节顺序标记的 UTF-16 文本，请存为 UTF-8 或带字节顺序标记的 UTF-16</source>
        <translation>Every other byte of the text is a NUL: it looks like UTF-16 text without a byte-order mark. Save it as UTF-8, or as UTF-16 with a byte-order mark</translation>
    </message>
    <message>
        <source>UTF-16 文本的最后多出一个字节，没有读取</source>
        <translation>The UTF-16 text ends with one byte too many, which was not read</translation>
    </message>
    <message>
        <source>文件在读取时变短了：原有 %1 字节，只读到 %2 字节</source>
        <translation>The file became shorter while it was read: it had %1 bytes, only %2 were read</translation>
    </message>
    <message>
        <source>已写入 %1 字节：%2</source>
        <translation>Wrote %1 bytes: %2</translation>
    </message>
    <message>
        <source>照片不正确！</source>
        <translation>The picture is not valid!</translation>
    </message>
    <message>
        <source>可以试试 -f（宽松读法）或 --all</source>
        <translation>Try -f (forgiving reading) or --all</translation>
    </message>
    <message>
        <source>%1：%2，%3</source>
        <translation>%1: %2, %3</translation>
    </message>
    <message>
        <source>时间已用完，没有检查</source>
        <translation>not checked: the time ran out</translation>
    </message>
    <message>
        <source>不能解码</source>
        <translation>does not decode</translation>
    </message>
    <message>
        <source>完整</source>
        <translation>complete</translation>
    </message>
    <message>
        <source>不完整</source>
        <translation>incomplete</translation>
    </message>
    <message>
        <source>文本中共有 %1 张图片，只写入了前 %2 张</source>
        <translation>The text holds %1 pictures; only the first %2 were written</translation>
    </message>
    <message>
        <source>解码的时间（%1 秒）已用完：%2 张图片写入了，但没有检查</source>
        <translation>The time for decoding (%1 s) ran out: %2 pictures were written but not checked</translation>
    </message>
    <message>
        <source>文件夹里还有以前留下的 %1.jpg，它不是这次写入的</source>
        <translation>The folder also holds %1.jpg, left by an earlier run: this run did not write it</translation>
    </message>
    <message>
        <source>文件夹里还有以前留下的 %1.jpg 到 %2.jpg，它们不是这次写入的</source>
        <translation>The folder also holds %1.jpg to %2.jpg, left by an earlier run: this run did not write them</translation>
    </message>
    <message>
        <source>解码的时间已用完，没有再检查其余的图片</source>
        <translation>The time for decoding ran out: the other pictures were not checked</translation>
    </message>
    <message>
        <source>文本中共有 %1 张图片，写入的是最后一张%2</source>
        <translation>The text holds %1 pictures; the one written is the last%2</translation>
    </message>
    <message>
        <source>完整的</source>
        <translation> complete one</translation>
    </message>
    <message>
        <source>正在从串口 %1 接收（%2 波特，8N1），按 Ctrl+C 结束</source>
        <translation>Receiving from serial port %1 (%2 baud, 8N1); press Ctrl+C to end</translation>
    </message>
    <message>
        <source>（%1）</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>第 %1 张：%2，%3，%4</source>
        <translation>Picture %1: %2, %3, %4</translation>
    </message>
    <message>
        <source>没有收到图片</source>
        <translation>No picture arrived</translation>
    </message>
    <message>
        <source>列出这台电脑上的串口和它们是什么设备。</source>
        <translation>List the serial ports on this computer and what devices they are.</translation>
    </message>
    <message>
        <source>--list-ports 只列出串口，不读也不写</source>
        <translation>--list-ports only lists the serial ports; it reads and writes nothing</translation>
    </message>
    <message>
        <source>不完整，%1</source>
        <translation>incomplete, %1</translation>
    </message>
    <message>
        <source>--%1 应当是 on 或 off：%2</source>
        <translation>--%1 should be on or off: %2</translation>
    </message>
    <message>
        <source>--send 和 --send-hex 只能用一个</source>
        <translation>Use either --send or --send-hex, not both</translation>
    </message>
    <message>
        <source>--send-every 应当是 0.1 到 86400 秒：%1</source>
        <translation>--send-every should be 0.1 to 86400 seconds: %1</translation>
    </message>
    <message>
        <source>--send-every 要和 --send 或 --send-hex 一起用</source>
        <translation>--send-every goes with --send or --send-hex</translation>
    </message>
    <message>
        <source>打开串口时 DTR 的电平（默认 off）。</source>
        <translation>DTR&apos;s level from the moment the port opens (off by default).</translation>
    </message>
    <message>
        <source>打开串口时 RTS 的电平（默认 off）。</source>
        <translation>RTS&apos;s level from the moment the port opens (off by default).</translation>
    </message>
    <message>
        <source>串口打开后发送这段文字（可用 \r、\n、\xNN）。</source>
        <translation>Send this text once the port is open (\r, \n and \xNN escapes work).</translation>
    </message>
    <message>
        <source>文字</source>
        <translation>TEXT</translation>
    </message>
    <message>
        <source>串口打开后发送这些字节（“56 00 36 01 00”）。</source>
        <translation>Send these bytes once the port is open (&quot;56 00 36 01 00&quot;).</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>HEX</translation>
    </message>
    <message>
        <source>每隔这么多秒再发送一次。</source>
        <translation>Send it again every so many seconds.</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>SECONDS</translation>
    </message>
    <message>
        <source>--dtr、--rts 和 --send 这些选项只用于 --serial</source>
        <translation>--dtr, --rts and the --send options go with --serial only</translation>
    </message>
    <message>
        <source>已发送：%1</source>
        <translation>Sent: %1</translation>
    </message>
    <message>
        <source>把收到的每张图片另存到这个文件夹，以收到的时间命名（20261209-235959-123.jpg）。</source>
        <translation>Keep every picture received in this folder too, named by the time it came (20261209-235959-123.jpg).</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>FOLDER</translation>
    </message>
    <message>
        <source>--save-each 的文件夹不存在：%1</source>
        <translation>The folder for --save-each does not exist: %1</translation>
    </message>
    <message>
        <source>；也存为 %1</source>
        <translation>; also kept as %1</translation>
    </message>
    <message>
        <source>串口断开后每半秒试一次重新打开它，最多这么多秒（默认 30，0 表示不等）。</source>
        <translation>When the port goes away, try to open it again every half second for this many seconds (30 by default; 0: do not wait).</translation>
    </message>
    <message>
        <source>--reconnect 应当是 0 到 86400 秒：%1</source>
        <translation>--reconnect should be 0 to 86400 seconds: %1</translation>
    </message>
    <message>
        <source>--baud、--count、--reconnect 和 --save-each 只用于 --serial</source>
        <translation>--baud, --count, --reconnect and --save-each go with --serial only</translation>
    </message>
    <message>
        <source>串口 %1 又打开了，继续接收</source>
        <translation>Serial port %1 is back; receiving goes on</translation>
    </message>
    <message>
        <source>串口 %1 没有回来</source>
        <translation>Serial port %1 did not come back</translation>
    </message>
    <message>
        <source>%1 字节（每秒 %2），%3 张图片（每秒 %4），%5 张不完整</source>
        <translation>%1 bytes (%2 a second), %3 pictures (%4 a second), %5 incomplete</translation>
    </message>
    <message>
        <source>共收到 %1 字节、%2 张图片（%3 张不完整），用时 %4 秒：每秒 %5 字节、%6 张</source>
        <translation>Received %1 bytes and %2 pictures (%3 incomplete) in %4 s: %5 bytes and %6 pictures a second</translation>
    </message>
    <message>
        <source>有图片不完整</source>
        <translation>Some pictures are incomplete</translation>
    </message>
    <message>
        <source>--raw、--size 要一起用（--png 也要和它们一起用）</source>
        <translation>--raw and --size go together (and --png goes with them)</translation>
    </message>
    <message>
        <source>没有这种原始图像格式：%1（可用的：%2）</source>
        <translation>No such raw format: %1 (there are: %2)</translation>
    </message>
    <message>
        <source>--size 应当是宽x高，每边 1 到 16384，例如 320x240：%1</source>
        <translation>--size should be WIDTHxHEIGHT, each 1 to 16384, such as 320x240: %1</translation>
    </message>
    <message>
        <source>YUV 4:2:2 的宽度要是偶数：%1</source>
        <translation>YUV 4:2:2 needs an even width: %1</translation>
    </message>
    <message>
        <source>字节是一帧原始图像（没有 JPEG 输出的摄像头）：rgb565（低字节在前）、rgb565be、rgb555、yuyv、uyvy、yvyu、vyuy、gray、rgb888 或 bgr888；要和 --size 一起用。写成 1.jpg（质量 95，4:4:4）。</source>
        <translation>The bytes are one raw frame (a camera without JPEG output): rgb565 (low byte first), rgb565be, rgb555, yuyv, uyvy, yvyu, vyuy, gray, rgb888 or bgr888; goes with --size. Written as 1.jpg (quality 95, 4:4:4).</translation>
    </message>
    <message>
        <source>格式</source>
        <translation>FORMAT</translation>
    </message>
    <message>
        <source>原始图像的宽和高，例如 320x240。</source>
        <translation>The raw frame&apos;s width and height, such as 320x240.</translation>
    </message>
    <message>
        <source>宽x高</source>
        <translation>WxH</translation>
    </message>
    <message>
        <source>原始图像写成无损的 1.png，不写 1.jpg。</source>
        <translation>Write the raw frame as a lossless 1.png instead of 1.jpg.</translation>
    </message>
    <message>
        <source>字节数不对：%1 的一帧是 %2 字节，读到的是 %3 字节</source>
        <translation>Wrong number of bytes: one %1 frame is %2 bytes, and %3 bytes were read</translation>
    </message>
    <message>
        <source>跳过了帧前面的 %1 个字节（如 *RDY* 之类的标记）</source>
        <translation>Skipped %1 bytes before the frame (a marker such as *RDY*)</translation>
    </message>
    <message>
        <source>内存不足：无法编码 %1 的图片</source>
        <translation>Out of memory: the %1 picture cannot be encoded</translation>
    </message>
    <message>
        <source>已把一帧 %1 原始图像写成 %2（%3 字节）</source>
        <translation>Wrote one %1 raw frame as %2 (%3 bytes)</translation>
    </message>
    <message>
        <source>%1（把握 %2%）：用 --raw %3 --size %4x%5 转换</source>
        <translation>%1 (%2% sure): convert it with --raw %3 --size %4x%5</translation>
    </message>
    <message>
        <source>用 --serial 和 --raw 时，每帧前面的标记，例如 *RDY*。</source>
        <translation>With --serial and --raw: the marker before each frame, such as *RDY*.</translation>
    </message>
    <message>
        <source>--raw 读文件时只有一帧，不能和 --all 一起用；也不能和 --list-ports 一起用；--png 只用于文件</source>
        <translation>--raw reads one frame from a file, so not with --all; nor with --list-ports; --png is for files only</translation>
    </message>
    <message>
        <source>--frame-marker 要和 --serial、--raw 一起用</source>
        <translation>--frame-marker goes with --serial and --raw</translation>
    </message>
    <message>
        <source>--frame-marker 不能是空的</source>
        <translation>--frame-marker cannot be empty</translation>
    </message>
    <message>
        <source>；%1</source>
        <translation>; %1</translation>
    </message>
    <message>
        <source>无法写入标准输出：%1</source>
        <translation>Cannot write to standard output: %1</translation>
    </message>
    <message>
        <source>用法：hexjpg-cli [--dir 文件夹] [-f] [--all] [--json] [文件]
      hexjpg-cli --serial 串口 [--baud 波特率] [--count 张数] [--all] [--dir 文件夹] [--json]
                 [--dtr on|off] [--rts on|off] [--send 文字 | --send-hex 字节 [--send-every 秒]]
      hexjpg-cli --dump 文件 [--layout pairs|xxd|c|arduino|python|base64] [--per-line 字节数]
（--help 说明全部选项）</source>
        <translation>Usage: hexjpg-cli [--dir FOLDER] [-f] [--all] [--json] [FILE]
       hexjpg-cli --serial PORT [--baud RATE] [--count PICTURES] [--all] [--dir FOLDER] [--json]
                  [--dtr on|off] [--rts on|off] [--send TEXT | --send-hex BYTES [--send-every SECONDS]]
       hexjpg-cli --dump FILE [--layout pairs|xxd|c|arduino|python|base64] [--per-line BYTES]
(--help describes every option)</translation>
    </message>
    <message>
        <source>没有这种排列：%1（可用的：%2）</source>
        <translation>No such layout: %1 (there are: %2)</translation>
    </message>
    <message>
        <source>--per-line 应当是 1 到 %1 的整数（base64 要是 3 的倍数）：%2</source>
        <translation>--per-line should be a whole number from 1 to %1 (for base64, a multiple of 3): %2</translation>
    </message>
    <message>
        <source>反过来：把文件的字节（比如一张图片）按 --layout 写成文本，输出到标准输出。</source>
        <translation>The other way round: write the file&apos;s bytes (a picture, say) as text in the --layout, to standard output.</translation>
    </message>
    <message>
        <source>--dump 的排列：pairs（默认，本工具读的成对数字）、xxd、c（C 数组）、arduino（PROGMEM 里的 C 数组）、python（bytes）或 base64。</source>
        <translation>The layout of --dump: pairs (the default, the pairs of digits this tool reads), xxd, c (a C array), arduino (a C array in PROGMEM), python (bytes) or base64.</translation>
    </message>
    <message>
        <source>排列</source>
        <translation>LAYOUT</translation>
    </message>
    <message>
        <source>--dump 每行的字节数。</source>
        <translation>Bytes to a line of --dump.</translation>
    </message>
    <message>
        <source>字节数</source>
        <translation>BYTES</translation>
    </message>
    <message>
        <source>--dump 只把一个文件写成文本：不能和 --serial、-f、--all、--json、--raw 或 --list-ports 一起用</source>
        <translation>--dump only writes one file as text: it does not go with --serial, -f, --all, --json, --raw or --list-ports</translation>
    </message>
    <message>
        <source>--layout 和 --per-line 只用于 --dump</source>
        <translation>--layout and --per-line are only for --dump</translation>
    </message>
    <message>
        <source>写入后，这个文件马上又被另一个程序换掉了，无法检查</source>
        <translation>Another program replaced the file right after it was written: it cannot be checked</translation>
    </message>
</context>
<context>
    <name>Diagnosis</name>
    <message>
        <source>图片</source>
        <translation>Picture</translation>
    </message>
    <message>
        <source> 图片</source>
        <translation> picture</translation>
    </message>
    <message>
        <source>，%1×%2 像素</source>
        <translation>, %1×%2 pixels</translation>
    </message>
    <message>
        <source>，%1 字节</source>
        <translation>, %1 bytes</translation>
    </message>
    <message>
        <source>数据在第 %1 字节处结束</source>
        <translation>the data ends at byte %1</translation>
    </message>
    <message>
        <source>，缺少结尾 FF D9</source>
        <translation>, the end marker FF D9 is missing</translation>
    </message>
    <message>
        <source>图片不完整：%1 行中只解码了 %2 行（%3%4）</source>
        <translation>The picture is incomplete: only %2 of its %1 rows decoded (%3%4)</translation>
    </message>
    <message>
        <source>图片不完整：渐进式图片只收到了一部分扫描（%1%2）</source>
        <translation>The picture is incomplete: only some of the progressive picture&apos;s scans arrived (%1%2)</translation>
    </message>
    <message>
        <source>图片不完整：%1%2</source>
        <translation>The picture is incomplete: %1%2</translation>
    </message>
    <message>
        <source>图片从第 %1 字节开始，前面有 %2 个多余字节</source>
        <translation>The picture starts at byte %1, after %2 extra bytes</translation>
    </message>
    <message>
        <source>图片后面还有 %1 个多余字节</source>
        <translation>%1 extra bytes follow the picture</translation>
    </message>
    <message>
        <source>解码器的警告：%1</source>
        <translation>Decoder warning: %1</translation>
    </message>
    <message>
        <source>数据在第 %1 行第 %2 列有 %3 个不是十六进制数字的字符</source>
        <translation>At line %1, column %2, the data has %3 characters that are not hex digits</translation>
    </message>
    <message>
        <source>另有 %1 处共 %2 个字符被跳过</source>
        <translation>%2 more characters in %1 more places were skipped</translation>
    </message>
    <message>
        <source>查找图片被中断</source>
        <translation>The search for pictures was interrupted</translation>
    </message>
    <message>
        <source>有 %1 个开始标记位于太多互相套着的未完成图片之中，没有查看</source>
        <translation>%1 start markers lie inside too many unfinished pictures nested in one another, and were not looked at</translation>
    </message>
    <message>
        <source>没有读到任何字节</source>
        <translation>Not a single byte was read</translation>
    </message>
    <message>
        <source>数据有 %1 字节，以 %2 开始</source>
        <translation>The data has %1 bytes and starts with %2</translation>
    </message>
    <message>
        <source>以下只查看了数据的前 %1 字节</source>
        <translation>What follows looked at the first %1 bytes of the data only</translation>
    </message>
    <message>
        <source>数据以 D8 FF 开始：开头的 FF 丢了</source>
        <translation>The data starts with D8 FF: its first FF is lost</translation>
    </message>
    <message>
        <source>数据里没有 JPEG 的开始标记 FF D8</source>
        <translation>The data has no JPEG start marker FF D8</translation>
    </message>
    <message>
        <source>数据里有开始标记 FF D8，但后面不是 JPEG 的结构</source>
        <translation>The data has the start marker FF D8, but what follows it is not a JPEG&apos;s structure</translation>
    </message>
    <message>
        <source>第 %1 字节处有一张 %2 图片的开头（%3 字节）</source>
        <translation>At byte %1 a %2 picture begins (%3 bytes)</translation>
    </message>
    <message>
        <source>另有 %1 张图片的开头，不一一列出</source>
        <translation>%1 more pictures begin, not listed one by one</translation>
    </message>
    <message>
        <source>解码器说：%1</source>
        <translation>The decoder says: %1</translation>
    </message>
</context>
<context>
    <name>ForgivingReader</name>
    <message>
        <source>读取被中断</source>
        <translation>the reading was interrupted</translation>
    </message>
    <message>
        <source>第 %1 行的偏移要求用 * 补上的字节太多（整个文本最多 %2 字节），读到这里为止</source>
        <translation>the offset at line %1 asks for too many bytes to fill in for * (at most %2 bytes in the whole text): the reading stops there</translation>
    </message>
    <message>
        <source>按每个字节一个记号读取（带 0x 前缀）</source>
        <translation>one token a byte (with 0x prefixes)</translation>
    </message>
    <message>
        <source>按每个字节一个记号读取（\x 转义）</source>
        <translation>one token a byte (\x escapes)</translation>
    </message>
    <message>
        <source>按每个字节一个记号读取（带 &amp;H 前缀）</source>
        <translation>one token a byte (with &amp;H prefixes)</translation>
    </message>
    <message>
        <source>按每个字节一个记号读取（带 h 后缀）</source>
        <translation>one token a byte (with h suffixes)</translation>
    </message>
    <message>
        <source>按每个字节一个记号读取（带 $ 前缀）</source>
        <translation>one token a byte (with $ prefixes)</translation>
    </message>
    <message>
        <source>按每个字节一个记号读取（单个数字也算一个字节）</source>
        <translation>one token a byte (a single digit is a byte too)</translation>
    </message>
    <message>
        <source>十六进制数字连写，每两个一个字节</source>
        <translation>runs of hex digits, two to a byte</translation>
    </message>
    <message>
        <source>每两个十六进制数字一个字节</source>
        <translation>two hex digits to a byte</translation>
    </message>
    <message>
        <source>十进制数字列表，每个数一个字节</source>
        <translation>a list of decimal numbers, one a byte</translation>
    </message>
    <message>
        <source>xxd 的输出，跳过了偏移列和文字列</source>
        <translation>xxd&apos;s output, its offset and text columns skipped</translation>
    </message>
    <message>
        <source>ESP-IDF 的十六进制转储，跳过了偏移列和文字列</source>
        <translation>an ESP-IDF hex dump, its offset and text columns skipped</translation>
    </message>
    <message>
        <source>hexdump -C 的输出，跳过了偏移列和文字列</source>
        <translation>hexdump -C&apos;s output, its offset and text columns skipped</translation>
    </message>
    <message>
        <source>od -x 的输出，每两个字节交换回原来的顺序</source>
        <translation>od -x&apos;s output, each two bytes swapped back into their order</translation>
    </message>
    <message>
        <source>Python 的 bytes 字面量（b&apos;…&apos;）</source>
        <translation>Python bytes literals (b&apos;...&apos;)</translation>
    </message>
    <message>
        <source>Base64 编码</source>
        <translation>Base64</translation>
    </message>
    <message>
        <source>，跳过了每行开头的时间戳或日志前缀</source>
        <translation>, the timestamps or log prefixes starting the lines skipped</translation>
    </message>
    <message>
        <source>，按偏移补上了 * 行省略的重复字节</source>
        <translation>, the repeated bytes that * lines leave out filled in by the offsets</translation>
    </message>
    <message>
        <source>，跳过了 %1 行文字</source>
        <translation>, %1 lines of words skipped</translation>
    </message>
    <message>
        <source>内存不足，无法读取这么长的文本</source>
        <translation>out of memory: a text this long cannot be read</translation>
    </message>
    <message>
        <source>第 %1 行太长：%2 个字符中没有空白或换行，读到这里为止</source>
        <translation>line %1 is too long: %2 characters without a blank or a line break. The reading stops there</translation>
    </message>
</context>
<context>
    <name>Form1</name>
    <message>
        <source>图片转换工具--hexjpg@example.com</source>
        <translation>Picture Converter--hexjpg@example.com</translation>
    </message>
    <message>
        <source>请将“FF D8 。。。FF D9”放入文本框</source>
        <translation>Paste &quot;FF D8 ... FF D9&quot; into the text box</translation>
    </message>
    <message>
        <source>文本总行数：0</source>
        <translation>Lines: 0</translation>
    </message>
    <message>
        <source>转换</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>请将数据粘贴文本框中</source>
        <translation>Please paste the data into the text box</translation>
    </message>
    <message>
        <source>内存不足：无法检查这么多的数据</source>
        <translation>Out of memory: cannot check this much data</translation>
    </message>
    <message>
        <source>正在检查图片……</source>
        <translation>Checking the picture...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>，完整</source>
        <translation>, complete</translation>
    </message>
    <message>
        <source>，不完整</source>
        <translation>, incomplete</translation>
    </message>
    <message>
        <source>按原来的读法：%1</source>
        <translation>Read as pairs: %1</translation>
    </message>
    <message>
        <source>换一种读法（%1）：%2 字节</source>
        <translation>Read another way (%1): %2 bytes</translation>
    </message>
    <message>
        <source>照片不正确！</source>
        <translation>The picture is not valid!</translation>
    </message>
    <message>
        <source>照片不正确！
%1，可以得到一张 %2×%3 的 %4 图片，%5 字节</source>
        <translation>The picture is not valid!
Read as %1, the text gives a %2×%3 %4 picture of %5 bytes</translation>
    </message>
    <message>
        <source>
文本中共有 %1 张图片，这是最后一张%2。</source>
        <translation>
The text holds %1 pictures; this is the last%2.</translation>
    </message>
    <message>
        <source>完整的</source>
        <translation> complete one</translation>
    </message>
    <message>
        <source>使用这张图片</source>
        <translation>Use this picture</translation>
    </message>
    <message>
        <source>文本总行数：</source>
        <translation>Lines: </translation>
    </message>
    <message>
        <source>从串口接收…</source>
        <translation>Receive from Serial Port...</translation>
    </message>
    <message>
        <source>停止接收</source>
        <translation>Stop Receiving</translation>
    </message>
    <message>
        <source>
收到的内容留在文本框里，已收到的图片都已写入。</source>
        <translation>
What arrived stays in the text box, and the pictures that arrived are all written.</translation>
    </message>
    <message>
        <source>文本框满了（最多 %1 个字符），停止接收。已收到的图片都已写入。</source>
        <translation>The text box is full (%1 characters at most): receiving stopped. The pictures that arrived are all written.</translation>
    </message>
    <message>
        <source>第 %1 张图片：%2
%3</source>
        <translation>Picture %1: %2
%3</translation>
    </message>
    <message>
        <source>第 %1 张图片
</source>
        <translation>Picture %1
</translation>
    </message>
    <message>
        <source>第 %1 张图片不完整，显示的是它后面完整的第 %2 张图片（已写入 1.jpg）</source>
        <translation>Picture %1 is incomplete; shown is picture %2, the complete one after it (written to 1.jpg)</translation>
    </message>
    <message>
        <source>第 %1 张图片：%2</source>
        <translation>Picture %1: %2</translation>
    </message>
    <message>
        <source>再次发送</source>
        <translation>Send again</translation>
    </message>
    <message>
        <source>已发送：%1</source>
        <translation>Sent: %1</translation>
    </message>
    <message>
        <source>串口 %1 又打开了，继续接收</source>
        <translation>Port %1 is open again; receiving goes on</translation>
    </message>
    <message>
        <source>串口 %1 没有回来</source>
        <translation>Port %1 did not come back</translation>
    </message>
    <message>
        <source>
串口 %1 没有回来。收到的内容留在文本框里，已收到的图片都已写入。</source>
        <translation>
Port %1 did not come back. What arrived stays in the text box, and every picture received has been written.</translation>
    </message>
    <message>
        <source>串口 %1 断开了，正在重新打开…</source>
        <translation>Port %1 was lost; opening it again…</translation>
    </message>
    <message>
        <source>%1/秒，%2 张，%3 张/秒，%4 张不完整</source>
        <translation>%1/s, %2 pictures, %3 pictures/s, %4 incomplete</translation>
    </message>
    <message>
        <source>照片不正确！
%1（把握 %2%）。</source>
        <translation>The picture is not valid!
%1 (%2% sure).</translation>
    </message>
    <message>
        <source>数据里没有图片的标记；按像素的平滑程度比较了这些读法（越小越平滑）：</source>
        <translation>The data has no picture&apos;s markers; these readings were compared by how smoothly their pixels follow each other (smaller is smoother):</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>帧前面的 %1 个字节（如 *RDY* 之类的标记）跳过了</source>
        <translation>%1 bytes before the frame (a marker such as *RDY*) were skipped</translation>
    </message>
    <message>
        <source>写成 1.jpg：JPEG，质量 95，4:4:4</source>
        <translation>Written as 1.jpg: JPEG, quality 95, 4:4:4</translation>
    </message>
    <message>
        <source>其他读法(&amp;O)…</source>
        <translation>&amp;Other readings…</translation>
    </message>
    <message>
        <source>※ 第 %1 张：%2</source>
        <translation>※ Picture %1: %2</translation>
    </message>
    <message>
        <source>打开(&amp;O)…</source>
        <translation>&amp;Open…</translation>
    </message>
    <message>
        <source>复制为 C 数组</source>
        <translation>Copy as C Array</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>十六进制文本或图片 (*.txt *.log *.hex *.h *.c *.jpg *.jpeg *.png *.gif *.bmp);;所有文件 (*)</source>
        <translation>Hex text or pictures (*.txt *.log *.hex *.h *.c *.jpg *.jpeg *.png *.gif *.bmp);;All files (*)</translation>
    </message>
    <message>
        <source>无法读取文件：%1
%2</source>
        <translation>Cannot read the file: %1
%2</translation>
    </message>
    <message>
        <source>图片太大，它的十六进制文本放不进文本框：%1
图片有 %2 字节，文本框最多放 %3 个字符。</source>
        <translation>The picture is too large for its hex text to fit in the text box: %1
The picture has %2 bytes; the text box takes at most %3 characters.</translation>
    </message>
    <message>
        <source>文本框里已经有内容。换成 %1 的内容吗？</source>
        <translation>The text box already holds text. Replace it with what %1 holds?</translation>
    </message>
    <message>
        <source>替换</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>文本框里没有能读成字节的内容</source>
        <translation>Nothing in the text box reads as bytes</translation>
    </message>
    <message>
        <source>复制图片(&amp;C)</source>
        <translation>&amp;Copy Picture</translation>
    </message>
    <message>
        <source>另存为(&amp;A)…</source>
        <translation>Save &amp;As…</translation>
    </message>
    <message>
        <source>没有可以复制的图片</source>
        <translation>There is no picture to copy</translation>
    </message>
    <message>
        <source>原来的字节 (*.%1)</source>
        <translation>The original bytes (*.%1)</translation>
    </message>
    <message>
        <source>PNG 图片 (*.png)</source>
        <translation>PNG picture (*.png)</translation>
    </message>
    <message>
        <source>BMP 图片 (*.bmp)</source>
        <translation>BMP picture (*.bmp)</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>图片不能解码</source>
        <translation>the picture does not decode</translation>
    </message>
    <message>
        <source>无法保存图片：%1
%2</source>
        <translation>Cannot save the picture: %1
%2</translation>
    </message>
</context>
<context>
    <name>JpegDecoder</name>
    <message>
        <source>已中断</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>解码的时间已用完</source>
        <translation>the time for decoding ran out</translation>
    </message>
    <message>
        <source>扫描太多：超过 %1 次</source>
        <translation>too many scans: over %1</translation>
    </message>
    <message>
        <source>解码超时：超过 %1 秒</source>
        <translation>decoding took too long: over %1 s</translation>
    </message>
    <message>
        <source>图片太大：%1×%2 像素</source>
        <translation>the picture is too large: %1×%2 pixels</translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation>out of memory</translation>
    </message>
    <message>
        <source>没有检查：解码的时间已用完</source>
        <translation>not checked: the time for decoding ran out</translation>
    </message>
    <message>
        <source>扫描太多：%1 次，最多 %2 次</source>
        <translation>too many scans: %1, at most %2</translation>
    </message>
    <message>
        <source>图片太大：%1×%2 像素，解码需要 %3 MB 内存，最多 %4 MB</source>
        <translation>the picture is too large: %1×%2 pixels, decoding needs %3 MB of memory, at most %4 MB</translation>
    </message>
</context>
<context>
    <name>JpegMarkers</name>
    <message>
        <source>在第 %1 字节处，标记前有多余的数据</source>
        <translation>at byte %1, extra data before a marker</translation>
    </message>
    <message>
        <source>在第 %1 字节处，段的长度不对</source>
        <translation>at byte %1, a segment&apos;s length is wrong</translation>
    </message>
    <message>
        <source>在第 %1 字节处又出现了开始标记 FF D8</source>
        <translation>at byte %1, the start marker FF D8 again</translation>
    </message>
    <message>
        <source>在第 %1 字节处，FF 后面不是 JPEG 的标记</source>
        <translation>at byte %1, FF is not followed by a JPEG marker</translation>
    </message>
    <message>
        <source>不是以 FF D8 开始</source>
        <translation>it does not start with FF D8</translation>
    </message>
</context>
<context>
    <name>OutputFile</name>
    <message>
        <source>已中断</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>无法写入文件：%1
%2</source>
        <translation>Cannot write the file: %1
%2</translation>
    </message>
</context>
<context>
    <name>PictureFinder</name>
    <message>
        <source>数据在图片的结构完整之前就结束了</source>
        <translation>the data ends before the picture&apos;s structure is complete</translation>
    </message>
    <message>
        <source>PNG 的数据块在第 %1 字节处不对</source>
        <translation>the PNG&apos;s chunk at byte %1 is wrong</translation>
    </message>
    <message>
        <source>GIF 的数据块在第 %1 字节处不对</source>
        <translation>the GIF&apos;s block at byte %1 is wrong</translation>
    </message>
</context>
<context>
    <name>PictureLoader</name>
    <message>
        <source>没有检查：解码的时间已用完，或已中断</source>
        <translation>not checked: the time for decoding ran out, or it was interrupted</translation>
    </message>
</context>
<context>
    <name>RawChooser</name>
    <message>
        <source>选择原始图像的读法</source>
        <translation>Choose how to read the raw frame</translation>
    </message>
    <message>
        <source>%1
粗糙度 %2</source>
        <translation>%1
roughness %2</translation>
    </message>
    <message>
        <source>使用这张图片</source>
        <translation>Use this picture</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>RawFrame</name>
    <message>
        <source>RGB565（高字节在前）</source>
        <translation>RGB565 (high byte first)</translation>
    </message>
    <message>
        <source>8 位灰度</source>
        <translation>8-bit grayscale</translation>
    </message>
    <message>
        <source>%1×%2 %3</source>
        <translation>%1×%2 %3</translation>
    </message>
    <message>
        <source>这可能是一幅 %1×%2 的 %3 原始图像</source>
        <translation>This may be a %1×%2 %3 raw frame</translation>
    </message>
    <message>
        <source>由 %1 原始图像编码（把握 %2%）</source>
        <translation>encoded from a %1 raw frame (%2% sure)</translation>
    </message>
    <message>
        <source>由 %1 原始图像编码</source>
        <translation>encoded from a %1 raw frame</translation>
    </message>
</context>
<context>
    <name>SerialCommand</name>
    <message>
        <source>命令里的转义不对（在第 %1 个字符处）：可以用 \r、\n、\t、\\、\0 和 \x 加两位十六进制数</source>
        <translation>A broken escape in the command (at character %1): use \r, \n, \t, \\, \0, or \x and two hex digits</translation>
    </message>
    <message>
        <source>“%1”不是十六进制数字（在第 %2 个字符处）</source>
        <translation>&quot;%1&quot; is not a hex digit (at character %2)</translation>
    </message>
    <message>
        <source>十六进制数字的个数是单数：最后一个字节只有一位</source>
        <translation>An odd number of hex digits: the last byte has only one</translation>
    </message>
</context>
<context>
    <name>SerialDialog</name>
    <message>
        <source>从串口接收</source>
        <translation>Receive from Serial Port</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>串口(&amp;P)：</source>
        <translation>&amp;Port:</translation>
    </message>
    <message>
        <source>波特率(&amp;B)：</source>
        <translation>&amp;Baud rate:</translation>
    </message>
    <message>
        <source>打开串口后发送，例如 c\r\n</source>
        <translation>Sent once the port is open, e.g. c\r\n</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>打开时接通：</source>
        <translation>On from the start:</translation>
    </message>
    <message>
        <source>发送(&amp;S)：</source>
        <translation>&amp;Send:</translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>不重新打开</source>
        <translation>Do not reopen</translation>
    </message>
    <message>
        <source>每张图片另存到(&amp;F)：</source>
        <translation>Also save every picture in (&amp;F):</translation>
    </message>
    <message>
        <source>浏览…</source>
        <translation>Browse…</translation>
    </message>
    <message>
        <source>断开后重新打开(&amp;R)：</source>
        <translation>Reopen a lost port for (&amp;R):</translation>
    </message>
    <message>
        <source>每张图片另存到</source>
        <translation>Save every picture in</translation>
    </message>
    <message>
        <source>图片（原始图像按停顿判断）</source>
        <translation>Pictures (raw frames judged at a pause)</translation>
    </message>
    <message>
        <source>宽x高，例如 160x120</source>
        <translation>WxH, e.g. 160x120</translation>
    </message>
    <message>
        <source>帧前的标记，例如 *RDY*</source>
        <translation>Marker before each frame, e.g. *RDY*</translation>
    </message>
    <message>
        <source>数据(&amp;D)：</source>
        <translation>&amp;Data:</translation>
    </message>
</context>
<context>
    <name>SerialSource</name>
    <message>
        <source>找不到串口 %1。</source>
        <translation>There is no serial port %1. </translation>
    </message>
    <message>
        <source>现有的串口：%1</source>
        <translation>The serial ports there are: %1</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>无法打开串口 %1：%2</source>
        <translation>Cannot open serial port %1: %2</translation>
    </message>
    <message>
        <source>串口 %1 不能设为 %2 波特（8N1，无流控）：%3</source>
        <translation>Serial port %1 cannot be set to %2 baud (8N1, no flow control): %3</translation>
    </message>
    <message>
        <source>收到了 %1 字节，但没有可读的内容：波特率可能不对（现在是 %2），请与设备的设置核对</source>
        <translation>%1 bytes arrived, but nothing readable: the baud rate may be wrong (it is %2 now). Check it against the device&apos;s setting</translation>
    </message>
    <message>
        <source>串口 %1 断开了（设备被拔出？）：%2</source>
        <translation>Serial port %1 went away (was the device unplugged?): %2</translation>
    </message>
    <message>
        <source>这台电脑上现在没有串口。常见的原因：USB 转串口芯片（CH340、CP210x）的驱动没有装，数据线只能充电，或者开发板没有插好。</source>
        <translation>This computer has no serial port now. The usual causes: the driver for the USB-serial chip (CH340, CP210x) is not installed, the cable only charges, or the board is not plugged in.</translation>
    </message>
    <message>
        <source>。这么高的波特率下，有的 USB 转串口芯片只支持固定的几种：可以试试低一些的，或者芯片确切支持的（CH340 用 1000000，不用 921600）</source>
        <translation>. At rates this high some USB-serial chips take only a fixed few: try a lower rate, or one the chip takes exactly (1000000 rather than 921600 for a CH340)</translation>
    </message>
    <message>
        <source>每半秒试一次重新打开串口 %1，最多 %2 秒</source>
        <translation>Trying to open port %1 again every half second, for up to %2 s</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>1.jpg 写在哪里：给了 --dir 时写在那个文件夹；从构建目录或解开的文件夹运行时写在本程序所在
的文件夹；安装到系统之后写在用户的图片文件夹（没有时建立），不会写进系统的程序文件夹。</source>
        <translation>Where 1.jpg goes: into the folder --dir gives; without it, run from a build folder or an unpacked
folder, beside the program; once installed, into your Pictures folder (made when missing), never
into the system&apos;s program folder.</translation>
    </message>
    <message>
        <source>--dir 后面的文件夹是空的</source>
        <translation>The folder after --dir is empty</translation>
    </message>
    <message>
        <source>把 1.jpg 写入该文件夹。</source>
        <translation>Write 1.jpg into this folder.</translation>
    </message>
    <message>
        <source>文件夹</source>
        <translation>FOLDER</translation>
    </message>
    <message>
        <source>串口的波特率（默认 115200）。</source>
        <translation>The serial port&apos;s baud rate (115200 unless given).</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>RATE</translation>
    </message>
</context>
<context>
    <name>System</name>
    <message>
        <source>它是别人建立的符号链接</source>
        <translation>it is a symbolic link that somebody else made</translation>
    </message>
    <message>
        <source>另一个程序正在使用这个文件（比如看图软件），请关掉它再试</source>
        <translation>another program is using the file (a picture viewer, say): close it and try again</translation>
    </message>
    <message>
        <source>文件夹的名字不是文字</source>
        <translation>the folder&apos;s name is not text</translation>
    </message>
    <message>
        <source>已中断</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>是一个文件夹</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <source>串口 %1 正被另一个程序使用（比如还开着的串口监视器）：请先关闭那个程序</source>
        <translation>Serial port %1 is in use by another program (a serial monitor left open, say): close that program first</translation>
    </message>
    <message>
        <source>没有权限使用串口 %1：请把用户加入 %2 组（sudo usermod -aG %2 $USER），然后重新登录</source>
        <translation>You may not use serial port %1: add your user to the %2 group (sudo usermod -aG %2 $USER), then log in again</translation>
    </message>
</context>
<context>
    <name>TextPanel</name>
    <message>
        <source>文本框</source>
        <translation>Text box</translation>
    </message>
    <message>
        <source>文本太大，无法放入文本框：需要 %1 个字符，最多 %2 个。
文本框中的内容保持不变。</source>
        <translation>The text is too large for the text box: it needs %1 characters, %2 at most.
The text box stays as it was.</translation>
    </message>
    <message>
        <source>无法放入文件：%1
它不是普通文件。</source>
        <translation>Cannot put in the file: %1
It is not a regular file.</translation>
    </message>
    <message>
        <source>无法读取文件：%1
%2</source>
        <translation>Cannot read the file: %1
%2</translation>
    </message>
    <message>
        <source>文件太大，无法放入文本框：%1
文件有 %2 字节，文本框还能放入 %3 个字符。</source>
        <translation>The file is too large for the text box: %1
The file has %2 bytes; the text box takes %3 more characters.</translation>
    </message>
    <message>
        <source>内存不足，无法读取文件：%1</source>
        <translation>Out of memory: cannot read the file: %1</translation>
    </message>
    <message>
        <source>无法放入文件：%1
它不是文本文件（UTF-8 或带字节顺序标记的 UTF-16）。</source>
        <translation>Cannot put in the file: %1
It is not a text file (UTF-8, or UTF-16 with a byte-order mark).</translation>
    </message>
    <message>
        <source>撤销(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>重做(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>剪切(&amp;T)</source>
        <translation>Cu&amp;t</translation>
    </message>
    <message>
        <source>复制(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>粘贴(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select All</translation>
    </message>
    <message>
        <source>内存不足，无法放入 %1 个字符的文本。
文本框中的内容保持不变。</source>
        <translation>Out of memory: cannot put in a text of %1 characters.
The text box stays as it was.</translation>
    </message>
</context>
<context>
    <name>Warning</name>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>WindowProgram</name>
    <message>
        <source>图片转换工具：把 JPEG 图片的十六进制文本（“FF D8 。。。FF D9”）粘贴进窗口，按“转换”，
文本就变回图片文件 1.jpg，并显示出来。</source>
        <translation>Picture Converter: paste the hex text of a JPEG picture (&quot;FF D8 ... FF D9&quot;) into the window and
press &quot;Convert&quot;: the text becomes the picture file 1.jpg again, and is shown.</translation>
    </message>
    <message>
        <source>一开始就从这个串口接收：收到的内容放进文本框，每收完一张图片就转换一次。</source>
        <translation>Receive from this serial port from the start: what arrives goes into the text box, and each picture is converted as it completes.</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>PORT</translation>
    </message>
    <message>
        <source>多余的参数：</source>
        <translation>Extra arguments: </translation>
    </message>
    <message>
        <source>波特率应当是正整数：%1</source>
        <translation>The baud rate must be a positive whole number: %1</translation>
    </message>
    <message>
        <source>--baud 只用于 --serial</source>
        <translation>--baud goes with --serial only</translation>
    </message>
    <message>
        <source>1.jpg 只会被整个替换：写入失败时原有的 1.jpg 保持不变。</source>
        <translation>1.jpg is only ever replaced whole: when writing fails, the earlier 1.jpg stays as it was.</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>FILE</translation>
    </message>
    <message>
        <source>放进文本框的十六进制文本，或者一张图片（它的十六进制文本放进文本框）。</source>
        <translation>Hex text to put in the text box, or a picture (its hex text goes in the text box).</translation>
    </message>
    <message>
        <source>[文件]</source>
        <translation>[FILE]</translation>
    </message>
    <message>
        <source>用法：hexjpg [--dir 文件夹] [--serial 串口 [--baud 波特率]] [文件]（--help 说明全部选项）</source>
        <translation>Usage: hexjpg [--dir FOLDER] [--serial PORT [--baud RATE]] [FILE] (--help explains every option)</translation>
    </message>
</context>
</TS>
