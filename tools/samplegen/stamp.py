"""When the sample payload says it was made: the build's SOURCE_DATE_EPOCH when one is set (the build
scripts take it from the last commit, so that a rebuild anywhere writes the same bytes), else a fixed
moment of the caller's choosing. Nothing here reads the clock."""
import os
import time


def build_time(default: int) -> int:
    value = os.environ.get("SOURCE_DATE_EPOCH", "")
    return int(value) if value.isdigit() else default


def pdf_date(default: int) -> str:
    """The time as a PDF date string, always the same length: D:YYYYMMDDHHMMSSZ."""
    return time.strftime("D:%Y%m%d%H%M%SZ", time.gmtime(build_time(default)))
