#!/usr/bin/env python3
"""Writes the journal of a Tolva data folder as a ledger-cli journal, for comparing tolva-cli
with ledger-cli's reg, bal and csv on the same books.

    python3 bench/books_to_ledger.py DATA_FOLDER OUT.ledger

Accounts are named by their codes, category:account[:sub-account] ("11:1111",
"11:1112:111201"), so that `ledger reg ^11:1111` is the ledger of account 1111. Amounts are
whole yen (the books keep ten-thousandths; the benchmark books hold whole yen only). A row
whose sides differ gets a third posting to "Unbalanced" so that ledger-cli accepts it; the
row's number is its code ("(NO 12)").
"""
import sqlite3
import sys


def account(category, code, sub):
    name = f"{category or '??'}:{code or '????'}"
    return f"{name}:{sub}" if sub else name


def main(folder, out):
    db = sqlite3.connect(f"file:{folder}/tolva.sqlite?mode=ro", uri=True)
    rows = db.execute(
        "SELECT id, sDay, Lbunrui, Lcode, LScode, Lgaku, Rbunrui, Rcode, RScode, Rgaku, Memo "
        "FROM shiwake ORDER BY sDay, id")
    with open(out, "w", encoding="utf-8") as f:
        for (rid, day, lb, lc, ls, lg, rb, rc, rs, rg, memo) in rows:
            debit = (lg or 0) // 10000
            credit = (rg or 0) // 10000
            memo = (memo or "").replace("\n", " ").replace(";", ",")
            f.write(f"{day.replace('-', '/')} ({rid}) {memo}\n")
            f.write(f"    {account(lb, lc, ls)}    {debit} JPY\n")
            f.write(f"    {account(rb, rc, rs)}    {-credit} JPY\n")
            if debit != credit:
                f.write(f"    Unbalanced    {credit - debit} JPY\n")
            f.write("\n")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
