"""What the server must show after each read: a small model of the line
framing and of a light line, written from the rules, not from the code.
Shared by the soak driver and the idle check."""

LINE_FEED = 0x0A
MAX_LINE = 8     # '>' and at most 7 further characters.
READ_SIZE = 18   # The server's reads.


def frame(read):
    """The line that one read yields (bytes, without the line feed), or None."""
    line = b""
    for byte in read:
        if not line:
            if byte == ord(">"):
                line = b">"
            continue
        if byte == LINE_FEED:
            return line
        line += bytes([byte])
        if len(line) > MAX_LINE:
            return None
    return None


def read_hex(text):
    """The hexadecimal reading rule; None when no digit is read."""
    i = 0
    while i < len(text) and (text[i] == 0x20 or 0x09 <= text[i] <= 0x0D):
        i += 1
    negative = False
    if i < len(text) and text[i] in b"+-":
        negative = text[i] == ord("-")
        i += 1
    if text[i:i + 2] in (b"0x", b"0X"):
        i += 2
    digits = b""
    while i < len(text) and chr(text[i]) in "0123456789abcdefABCDEF":
        digits += bytes([text[i]])
        i += 1
    if not digits:
        return None
    number = int(digits, 16) % 2**32
    return (-number) % 2**32 if negative else number


class Display:
    """Status text, lamp bytes, and the two latches on the port."""

    def __init__(self):
        self.status = b""
        self.lamps = [0, 0]
        self.latches = [0, 0]

    def apply(self, line):
        # The status text is a C string: a NUL byte in a line ends it there.
        text = line.split(b"\0")[0][:MAX_LINE]
        self.status = text
        if len(text) < 3 or text[0:1] != b">" or text[2:3] != b"L" or text[1:2] not in (b"3", b"5"):
            return
        value = read_hex(text[3:])
        if value is None:
            return  # A value field without a number leaves the lamps alone.
        self.lamps = [value & 0xFF, (value >> 8) & 0xFF]
        self.latches[0] = self.lamps[0]
        if text[1:2] == b"5":
            self.latches[1] = self.lamps[1]

    def state_line(self):
        return 'state status="%s" lamps=%02x %02x latches=%02x %02x' % (
            escape(self.status), self.lamps[0], self.lamps[1], self.latches[0], self.latches[1])


def escape(text):
    out = ""
    for byte in text:
        if 0x20 <= byte < 0x7F and byte not in (ord('"'), ord("\\")):
            out += chr(byte)
        else:
            out += "\\x%02x" % byte
    return out
