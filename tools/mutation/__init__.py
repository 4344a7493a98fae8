"""The mutation tool's parts; tools/mutate.py is its command.

source: the product files, a mutant, and their text as the operators read it. operators: the
kinds of mutant, and every mutant of a file. builds: the build trees, a mutant applied and
restored, the tests run. screen: a run's mutants judged, its journal and its report.
equivalents: the equivalent list and --check-list. time_reach and time_check: --check-time.
cli: the options and what they run.
"""
