// Reading .reg files: the operations a file holds, in its order, each with the line it starts
// on, and a problem for every line that cannot be read.
//
// The file's form:
//  - "Windows Registry Editor Version 5.00" in UTF-16LE with a byte-order mark, as the system's
//    registry editor exports it; the same header in UTF-8 (with or without its mark) or in the
//    ANSI code page, as a file saved from a text editor is. Without a mark, a file that is
//    well-formed UTF-8 and not ASCII alone is read as UTF-8, any other as GBK.
//  - "REGEDIT4" in the ANSI code page, which is always GBK (code page 936) here. String data of
//    such a file given as hex(1), hex(2) or hex(7) is ANSI text too: the system converts it to
//    UTF-16 when it imports the file, and so does read (each GBK character becomes its UTF-16
//    unit or units, each zero byte a zero unit, so terminators and the separators of a
//    multi-string stay where they are; a byte GBK cannot read becomes U+FFFD). A REGEDIT4 file
//    saved as UTF-16 or with a UTF-8 mark is an export someone edited: the hex string data of
//    such files is already UTF-16, and is kept as written.
// The header is the first line. Lines end with CR LF, LF or CR; blanks (spaces, tabs) at the
// start of a line are skipped.
//  - [key] opens the section of key; [-key] deletes the key. The key is whatever stands between
//    "[" (or "[-") and the last "]" of the line, kept as written (its root unchecked: see
//    splitRoot); only blanks may follow the "]".
//  - "name"=data or @=data (the default value; "" names it too), blanks allowed around "=".
//    In names and quoted strings "\\" is a backslash and "\"" a quote; no other escape exists.
//    The data: "text" (REG_SZ, stored with its terminating zero), dword:x (1 to 8 hex digits),
//    hex:bytes (REG_BINARY), hex(N):bytes (type N, in hex), or "-" (the value is deleted).
//    Bytes are hex numbers of 1 or 2 digits separated by commas, blanks around them allowed;
//    the list may be empty or end in a comma, and continues on the next line when its line ends
//    in "\". Only blanks may follow the data.
//  - ";" starts a comment line; a blank line and a repeated header line say nothing.
// Any other line, and any line that breaks these rules, is a problem and adds no operation;
// reading goes on with the next line. A value needs an open section: before the first one,
// under a [-key] (which the system ignores) or under a section that could not be read, it is a
// problem too.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "regfile/regfile.h"

namespace lz::regfile {

// Why a line could not be read.
enum class Reason {
    NotARegistryFile,      // no header on the first line: nothing else is read
    UnrecognisedLine,      // not a section, a value, a comment or a blank line
    UnclosedSection,       // "[" without a "]"
    EmptyKey,              // "[]" or "[-]"
    TextAfterSection,      // something other than blanks after the "]"
    ValueOutsideSection,   // a value line before any section
    ValueUnderDeletedKey,  // a value line in the section of [-key]
    ValueUnderBadSection,  // a value line after a section line that could not be read
    MissingEquals,         // a name not followed by "="
    UnterminatedString,    // a quote without its closing quote
    UnknownEscape,         // a backslash in quotes before anything but "\" or '"'
    UnknownDataType,       // data that is none of the forms
    BadDword,              // dword: without 1 to 8 hex digits
    BadHex,                // a hex list or hex(N) type that is not hex numbers
    TextAfterData,         // something other than blanks after the data
    UnsupportedRoot,       // never given by read: for a caller that refuses a key's root
};

// A short description of the reason for the user, in Chinese (UTF-8).
std::string_view reasonText(Reason reason);

struct Problem {
    int line = 0;  // counted from 1; an entry continued over lines is reported on its first
    Reason reason = Reason::UnrecognisedLine;
    bool operator==(const Problem&) const = default;
};

enum class Header { None, Regedit4, Version5 };
enum class Encoding { Utf16, Utf8, Gbk };

struct Parsed {
    Header header = Header::None;
    Encoding encoding = Encoding::Gbk;  // how the text was decoded
    std::vector<Operation> operations;  // in the file's order, each with its line
    std::vector<Problem> problems;      // in the file's order
};

// Reads a whole file. Takes time linear in its size.
Parsed read(std::string_view fileBytes);

// The registry's root keys, as a key path names them.
enum class Root { Unknown, ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

struct SplitKey {
    Root root = Root::Unknown;
    std::u16string_view rest;  // after the root and its backslash; empty for the root itself
};

// The root of a key path: its full name (HKEY_CURRENT_USER, ...) or the abbreviation (HKCR,
// HKCU, HKLM, HKU, HKCC) in any case, alone or followed by "\". Unknown, with the whole path as
// the rest, when the path starts with neither.
SplitKey splitRoot(std::u16string_view keyPath);

}  // namespace lz::regfile
