#!/usr/bin/env python3
"""Writes the seed corpus of the long decimal fuzz target (tests/fuzz/corpus/).

Each seed is a program in the target's input format (see longdec_fuzz.cpp):
instructions of an opcode byte, a register byte and the operands' bytes. The
seeds hold the records that rounding leaves with 10000 in word 34 and the
operations that once went wrong on them, the rounding edges of division, the
carry and cancellation edges of addition, and conversions at the edges of the
decimal scaling. Run it from the repository root after changing a seed.
"""
import os
import random
import struct

LOAD, CONVERT, ADD, SUB, MUL, DIV, NUDGE, TO_DOUBLE = range(8)


def op(code, target=0, first=0, second=0, operand=b""):
    return bytes([code, target | first << 2 | second << 4]) + operand


def record(words, exponent_words=0, negative=False, last_full=False, fill_nines=False):
    """LOAD operand: the given words from word 2 on, the exponent in words."""
    flags = int(negative) | int(last_full) << 1 | int(fill_nines) << 2
    head = bytes([flags, (4 * exponent_words) & 0xFF, len(words) - 1])
    return head + b"".join(struct.pack("<H", w) for w in words)


def raw_double(x):
    return bytes([0]) + struct.pack("<d", x)


def near_power_of_ten(k, steps=0, negative=False):
    """10^k moved by steps units in the last place."""
    return bytes([1 | int(negative) << 1]) + struct.pack("<hb", k, steps)


def text_words(digits):
    return [int(digits[i:i + 4]) for i in range(0, len(digits), 4)]


def load(target, *args, **kwargs):
    return op(LOAD, target, operand=record(*args, **kwargs))


ONE = [1]  # word 2 = 1 at exponent 4 (one word): the value 1
SEEDS = {
    # 0.0001 0000..0001 x 0.9999..9999 0000 rounds to 0.9999..9999(10000) x 1e-4,
    # exactly 1e-4; then less 1e-200, divided by 1, 1 divided by it, squared,
    # divided by itself, doubled, and back to double.
    "word34_product": load(0, [1] + [0] * 31 + [1]) + load(1, [9999] * 32 + [0])
    + op(MUL, 2, 0, 1) + op(CONVERT, 3, operand=near_power_of_ten(-200))
    + op(SUB, 0, 2, 3) + load(1, ONE, 1) + op(DIV, 0, 2, 1) + op(DIV, 0, 1, 2)
    + op(MUL, 0, 2, 2) + op(DIV, 0, 2, 2) + op(ADD, 3, 2, 2) + op(TO_DOUBLE, 0, 2),
    # The fraction 9999..9999,10000 (exactly 1) against itself and against 1.
    "word34_fraction_one": load(0, [9999] * 32, last_full=True, fill_nines=True)
    + load(1, [9999] * 32, last_full=True, fill_nines=True) + op(DIV, 2, 0, 1)
    + op(MUL, 2, 0, 1) + op(SUB, 2, 0, 1) + load(3, ONE, 1) + op(SUB, 2, 0, 3)
    + op(DIV, 2, 3, 0) + op(SUB, 2, 3, 0) + op(MUL, 2, 3, 0),
    # c+1,0..0 against c,9999..9999,10000 (equal values), a carry through every
    # word (0.9999..9999 and one unit of word 34), and an operand aligned to nothing.
    "sum_edges": load(0, [2], 1) + load(1, [1] + [9999] * 31, 1, negative=True, last_full=True, fill_nines=True)
    + op(ADD, 2, 0, 1) + op(ADD, 2, 1, 0) + load(3, [9999] * 33, 1) + load(1, [1], -31)
    + op(ADD, 2, 3, 1) + op(SUB, 2, 3, 1) + load(0, [2], -32) + load(1, [9999] * 32, 2, last_full=True, fill_nines=True)
    + op(SUB, 2, 1, 0) + op(ADD, 2, 0, 1) + op(MUL, 2, 1, 1),
    # Conversions: just below 0.1, 1e-300, just below 1 and 1e-4, 3, 123,
    # -0.00123, the largest powers of ten, each back to double as well.
    "conversions": b"".join(
        op(CONVERT, 0, operand=x) + op(TO_DOUBLE, 0, 0)
        for x in [near_power_of_ten(-1, -1), near_power_of_ten(-300), near_power_of_ten(0, -1),
                  near_power_of_ten(-4, -1, negative=True), raw_double(3.0), raw_double(123.0),
                  raw_double(-0.00123), near_power_of_ten(308), near_power_of_ten(-307, 1)]),
}

# Quotients whose 34th word is 4999 with the dividend below the divisor: the
# rounding word comes from a divisor whose last word has fallen away.
DIVISION_EDGES = [
    ("2157171606618632312518951023231123485912382015833467396555437187840843844499861322995205871637213838039767"
     "70197024814729111950571075",
     "6100932510334179193181177364773762193439153779930464638670909952003472974363374896851674520005010365041688"
     "70015062453548691504754999"),
    ("2602507772292169038282198656948764609074341269331093276345793579878469894370613475231231389426634481568570"
     "92006144558292840652773407",
     "5463150013905915277050484121992734769941058595222594705664478340609589157288822543940588044959647616521762"
     "26694086132694918329070009"),
    ("4698349031424292967750295687765753012521899372357692619623801632690949030196549667788228844431111211573871"
     "52697515937972544264297750",
     "6949970989162136606198947766951610739922021576874249902438393141770488639005780465062467379924848571638802"
     "48104926119684070149350001"),
    ("0153807593512876870591218248394290079339304761941989991088653601483010127960826874883755370488380544717629"
     "45781980026586127698630053",
     "6933496916906489784525391476108903246579900147410964363685258792590245332828173942883512042042644452316927"
     "00507647456101142099260013"),
]
for i, (dividend, divisor) in enumerate(DIVISION_EDGES):
    SEEDS[f"division_rounding_word_{i}"] = (load(0, text_words(dividend)) + load(1, text_words(divisor), 2, negative=True)
                                            + op(DIV, 2, 0, 1))

rng = random.Random(20240611)
for i in range(2):
    SEEDS[f"random_program_{i}"] = bytes(rng.randrange(256) for _ in range(600))

if __name__ == "__main__":
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(folder, exist_ok=True)
    for name, program in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(program)
