"""Making generated content come out at an exact byte count.

Two ways: pick items (lines, records, library members) whose sizes add up to the target exactly, or
fill the leftover with a comment block whose rule lines absorb the odd bytes.
"""
import re
from typing import List, Sequence


class FitError(Exception):
    pass


def pick_exact(costs: Sequence[int], target: int) -> List[int]:
    """Indices of items, in their original order, whose costs sum to exactly target.

    Takes items greedily in order while a comfortable margin remains, then closes the gap with a
    subset of the items after that point (a small subset-sum over the gap). Deterministic.
    """
    if target < 0:
        raise FitError("nothing fits in %d bytes" % target)
    margin = 2 * max(costs) if costs else 0
    chosen, total, index = [], 0, 0
    while index < len(costs) and total + costs[index] <= target - margin:
        chosen.append(index)
        total += costs[index]
        index += 1
    closing = _close_gap(costs, index, target - total)
    if closing is None:
        raise FitError("cannot make %d bytes from the available items" % target)
    return chosen + closing


def _close_gap(costs: Sequence[int], start: int, gap: int):
    """Indices from start on (ascending) whose costs add up to gap, or None."""
    reached = {0: None}  # sum -> (previous sum, index that got here)
    for i in range(start, min(len(costs), start + 5000)):
        if gap in reached:
            break
        for total in list(reached):
            new_total = total + costs[i]
            if new_total <= gap and new_total not in reached:
                reached[new_total] = (total, i)
    if gap not in reached:
        return None
    picked, total = [], gap
    while reached[total] is not None:
        total, i = reached[total]
        picked.append(i)
    return sorted(picked)


def wrap_words(words: Sequence[str], width: int) -> List[str]:
    lines, current = [], ""
    for word in words:
        if current and len(current) + 1 + len(word) > width:
            lines.append(current)
            current = word
        else:
            current = word if not current else current + " " + word
    if current:
        lines.append(current)
    return lines


def _sentences(paragraph: str) -> List[str]:
    return [s for s in re.split(r"(?<=[.!?])\s+", paragraph.strip()) if s]


def _render(prefix: str, paragraphs: List[List[str]], eol: str, width: int) -> str:
    blocks = []
    for sentences in paragraphs:
        words = " ".join(sentences).split()
        blocks.append("".join("%s %s%s" % (prefix, line, eol) for line in wrap_words(words, width - len(prefix) - 1)))
    return (prefix + eol).join(blocks)


def comment_block(prefix: str, size: int, paragraphs: Sequence[str], eol: str = "\r\n", width: int = 76,
                  rule_char: str = "-") -> str:
    """Exactly size bytes of comment lines: whole sentences of the paragraphs between two rules.

    Sentences are taken in order while they fit; the two rule lines take up whatever is left, so the
    text always ends on a full sentence.
    A size too small for two rules comes back as one rule, or as spaces the caller tucks onto the end
    of one of its own lines.
    """
    rule_min = len(prefix) + 4 + len(eol)
    if size < 2 * rule_min:
        return _single_rule(prefix, size, eol, rule_char, rule_min)
    room = size - 2 * rule_min
    taken: List[List[str]] = []
    content = ""
    for paragraph in paragraphs:
        taken.append([])
        for sentence in _sentences(paragraph):
            taken[-1].append(sentence)
            candidate = _render(prefix, taken, eol, width)
            if len(candidate) > room:
                return _framed(prefix, size, content, eol, rule_char)
            content = candidate
    return _framed(prefix, size, content, eol, rule_char)


def _framed(prefix: str, size: int, content: str, eol: str, rule_char: str) -> str:
    if not content:
        return _rule(prefix, size, eol, rule_char)
    left = size - len(content)
    top = left // 2
    return _rule(prefix, top, eol, rule_char) + content + _rule(prefix, left - top, eol, rule_char)


def _single_rule(prefix, size, eol, rule_char, rule_min) -> str:
    if size >= rule_min:
        return _rule(prefix, size, eol, rule_char)
    return " " * size


def _rule(prefix: str, size: int, eol: str, rule_char: str) -> str:
    dashes = size - len(prefix) - 1 - len(eol)
    return "%s %s%s" % (prefix, rule_char * dashes, eol)


def with_header_comment(body: str, size: int, prefix: str, paragraphs: Sequence[str], eol: str = "\r\n",
                        width: int = 76) -> str:
    """A comment block of the right length in front of body, so the whole is exactly size bytes."""
    room = size - len(body)
    if room < 0:
        raise FitError("the text is %d bytes, %d more than its %d-byte slot" % (len(body), -room, size))
    block = comment_block(prefix, room, paragraphs, eol, width)
    if block.strip(" ") == "" and block:
        first_end = body.find(eol)
        if first_end < 0:
            return body + block
        return body[:first_end] + block + body[first_end:]
    return block + body
