#!/usr/bin/python3
"""Holds the bank schema (docs/questions.schema.json) to what the program's loader does: the sample bank, the
example in the authors' guide and the banks the loader accepts must validate, the banks it refuses for their shape
must not. The few banks the loader refuses only for how a number is written, which no JSON Schema can see, are
pinned too, so the guide's list of what the schema cannot check stays true.

Runs on the build machine with Debian's python3-jsonschema.
Usage: questions_schema_test.py SCHEMA SAMPLE_BANK GUIDE
"""
import json
import re
import sys
import unittest

import jsonschema

SCHEMA_PATH = None
SAMPLE_BANK_PATH = None
GUIDE_PATH = None

GOOD = '{"questionText":"ok","options":["a"],"correctAnswer":0}'


def entry(options='[]', answer='0', text='"q"'):
    return '[{"questionText":%s,"options":%s,"correctAnswer":%s}]' % (text, options, answer)


# Banks the program refuses with a "JSON Parse Error" box about their shape.
REFUSED = [
    ("an entry that is a number", "[%s,5]" % GOOD),
    ("an entry that is an array", "[%s,%s,[]]" % (GOOD, GOOD)),
    ("an entry that is null", "[null]"),
    ("questionText missing", '[{"options":[],"correctAnswer":0}]'),
    ("options missing", '[{"questionText":"q","correctAnswer":0}]'),
    ("correctAnswer missing", '[{"questionText":"q","options":[]}]'),
    ("questionText a number", "[%s,%s,%s]" % (GOOD, GOOD, entry(text="7"))),
    ("questionText null", entry(text="null")),
    ("an option that is a number", entry(options='["a",2]')),
    ("options an object holding an array", entry(options='{"k":["nested"]}')),
    ("options a number", entry(options="3")),
    ("options a boolean", entry(options="false")),
    ("correctAnswer a string", entry(answer='"1"')),
    ("correctAnswer null", entry(answer="null")),
    ("correctAnswer an array", entry(answer="[1]")),
    ("correctAnswer a huge negative fraction", entry(answer="-1e300")),
    ("correctAnswer an integer above 64 bits", entry(answer="99999999999999999999")),
    ("correctAnswer an integer below 64 bits", entry(answer="-9223372036854775809")),
    ("correctAnswer too large for any number", entry(answer="1e999")),
    ("top-level object with a number among its questions",
     '{"b":5,"a":{"questionText":"q","options":[],"correctAnswer":0}}'),
    ("top-level string", '"just a string"'),
    ("top-level number", "42"),
    ("top-level boolean", "true"),
]

# Banks the program loads.
ACCEPTED = [
    ("empty array", "[]"),
    ("empty object", "{}"),
    ("null", "null"),
    ("plain entries", "[%s,%s]" % (GOOD, GOOD)),
    ("six options", entry(options='["1","2","3","4","5","6"]')),
    ("no options", entry(options="[]")),
    ("options null", entry(options="null")),
    ("options a single string", entry(options='"only"')),
    ("options an object of strings", entry(options='{"b":"second","a":"first"}')),
    ("extra members", '[{"correctAnswer":1,"explanation":"because","options":["x"],"questionText":"Q",'
                      '"tags":[1,{}]}]'),
    ("a repeated key uses the later value", '[{"questionText":7,"questionText":"new","options":3,'
                                            '"options":["a"],"correctAnswer":"x","correctAnswer":3}]'),
    ("top-level object of questions", '{"z":%s,"a":%s}' % (GOOD, GOOD)),
    ("a NUL escape inside a text", entry(text='"before\\u0000after"')),
    ("correctAnswer true", entry(answer="true")),
    ("correctAnswer false", entry(answer="false")),
    ("correctAnswer negative", entry(answer="-1")),
    ("correctAnswer 2147483648 keeps its low 32 bits", entry(answer="2147483648")),
    ("correctAnswer largest 64-bit unsigned integer", entry(answer="18446744073709551615")),
    ("correctAnswer smallest 64-bit signed integer", entry(answer="-9223372036854775808")),
    ("correctAnswer with a fraction", entry(answer="2.9")),
    ("correctAnswer with an exponent", entry(answer="1e2")),
    ("correctAnswer fraction just below the upper limit", entry(answer="2147483647.5")),
    ("correctAnswer fraction just above the lower limit", entry(answer="-2147483648.9")),
    ("correctAnswer negative fraction", entry(answer="-0.5")),
]

# Refused by the program, but a JSON Schema cannot refuse them: it sees numbers, not how they are written, and
# 2147483648.0 is the same number as the integer 2147483648, which the program accepts.
SCHEMA_CANNOT_REFUSE = [
    ("correctAnswer 2147483648.0", entry(answer="2147483648.0")),
    ("correctAnswer -2147483649.0", entry(answer="-2147483649.0")),
    ("correctAnswer 1e10", entry(answer="1e10")),
    ("correctAnswer a fraction that rounds to 2147483648", entry(answer="2147483647.9999999999")),
]


def parse_strictly(text):
    """Parses JSON as the program does, as far as Python can: NaN and Infinity are not JSON."""
    def refuse(constant):
        raise ValueError("not JSON: " + constant)
    return json.loads(text, parse_constant=refuse)


class QuestionBankSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(SCHEMA_PATH, encoding="utf-8") as f:
            schema = json.load(f)
        jsonschema.Draft202012Validator.check_schema(schema)
        cls.validator = jsonschema.Draft202012Validator(schema)

    def assertValid(self, bank):
        errors = [e.message for e in self.validator.iter_errors(bank)]
        self.assertEqual(errors, [])

    def assertRefused(self, bank):
        self.assertFalse(self.validator.is_valid(bank), "the schema accepts it")

    def test_sample_bank_is_valid(self):
        # utf-8-sig: the program skips a byte-order mark too.
        with open(SAMPLE_BANK_PATH, encoding="utf-8-sig") as f:
            bank = parse_strictly(f.read())
        self.assertGreater(len(bank), 60)
        self.assertValid(bank)

    def test_guide_example_is_valid(self):
        with open(GUIDE_PATH, encoding="utf-8") as f:
            example = re.search(r"```json\n(.*?)```", f.read(), re.S)
        self.assertIsNotNone(example, "the guide has no ```json example")
        bank = parse_strictly(example.group(1))
        self.assertGreater(len(bank), 0)
        self.assertValid(bank)

    def test_banks_the_program_refuses_are_refused(self):
        for what, text in REFUSED:
            with self.subTest(what, bank=text):
                self.assertRefused(parse_strictly(text))

    def test_banks_the_program_loads_are_valid(self):
        for what, text in ACCEPTED:
            with self.subTest(what, bank=text):
                self.assertValid(parse_strictly(text))

    def test_numbers_refused_only_for_how_they_are_written_pass_the_schema(self):
        for what, text in SCHEMA_CANNOT_REFUSE:
            with self.subTest(what, bank=text):
                self.assertValid(parse_strictly(text))


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: questions_schema_test.py SCHEMA SAMPLE_BANK GUIDE")
    SCHEMA_PATH, SAMPLE_BANK_PATH, GUIDE_PATH = sys.argv[1:]
    unittest.main(argv=sys.argv[:1], verbosity=2)
