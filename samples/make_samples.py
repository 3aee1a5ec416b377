#!/usr/bin/env python3
"""Writes the demo schemes of this folder: GBK bytes, CRLF, exactly as the editor saves them
(each step line followed by CRLF, then the scheme name with no line break after it).

Every tweak is harmless and lives under HKEY_CURRENT_USER. Each file is named after its
scheme, as a user names the schemes they keep. Run from any directory:
    python3 samples/make_samples.py
"""
from pathlib import Path

HERE = Path(__file__).resolve().parent
EXPLORER_ADVANCED = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Advanced"
DESKTOP = r"HKEY_CURRENT_USER\Control Panel\Desktop"
MOUSE = r"HKEY_CURRENT_USER\Control Panel\Mouse"
DEMO_KEY = r"HKEY_CURRENT_USER\Software\LzVantor\Samples"


def hint(text):
    return "TSWB|" + text


def write(path, value, type_code):
    return "ZCBTJ|" + path + "|" + value + "|" + type_code


def delete(path):
    return "ZCBSC|" + path + "|SC"


SCHEMES = {
    "显示文件扩展名.lzvt": (
        "显示文件扩展名",
        [
            hint("本方案让资源管理器显示所有文件的扩展名，便于识别伪装成文档的程序。"),
            write(EXPLORER_ADVANCED + r"\HideFileExt", "0", "SZJZ"),
            hint("完成后请按 F5 刷新资源管理器窗口。"),
        ],
    ),
    "显示隐藏文件.lzvt": (
        "显示隐藏文件",
        [
            hint("本方案让资源管理器显示隐藏的文件和文件夹。\r\n"
                 "受保护的系统文件仍然保持隐藏。\r\n"
                 "如需恢复，把数值改回 2 即可。"),
            write(EXPLORER_ADVANCED + r"\Hidden", "1", "SZJZ"),
        ],
    ),
    "加快菜单与鼠标悬停响应.lzvt": (
        "加快菜单与鼠标悬停响应",
        [
            hint("缩短菜单弹出和鼠标悬停的等待时间，单位为毫秒。"),
            write(DESKTOP + r"\MenuShowDelay", "100", "ZCZ"),
            write(MOUSE + r"\MouseHoverTime", "200", "ZCZ"),
        ],
    ),
    "加快关机速度.lzvt": (
        "加快关机速度",
        [
            hint("关机时自动结束没有响应的程序，并缩短等待时间。\r\n"
                 "注意：未保存的文档可能因此丢失，请先保存好工作。"),
            write(DESKTOP + r"\AutoEndTasks", "1", "ZCZ"),
            write(DESKTOP + r"\WaitToKillAppTimeout", "2000", "ZCZ"),
            write(DESKTOP + r"\HungAppTimeout", "3000", "ZCZ"),
        ],
    ),
    "二进制数值与删除演示.lzvt": (
        "二进制数值与删除演示",
        [
            hint("本方案演示二进制数值的写入和删除，只使用本软件自己的演示键。"),
            write(DEMO_KEY + r"\BinaryDemo", "LZVT", "EJZSZ"),
            write(DEMO_KEY + r"\Version", "1", "SZJZ"),
            write(DEMO_KEY + "\\", "演示", "ZCZ"),
            hint("下一步删除刚才写入的二进制数值；删除之前，它会先保存到撤销文件里。"),
            delete(DEMO_KEY + r"\BinaryDemo"),
        ],
    ),
}


def serialize(rows, name):
    return "".join(row + "\r\n" for row in rows) + name


def main():
    for file_name, (name, rows) in SCHEMES.items():
        (HERE / file_name).write_bytes(serialize(rows, name).encode("gbk"))


if __name__ == "__main__":
    main()
