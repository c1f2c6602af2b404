"""The README's Python session, run as it stands (doctest)."""
import doctest
import os
import re


def test_readme_session():
    text = open(os.environ["KV_README"], encoding="utf-8").read()
    blocks = re.findall(r"```pycon\n(.*?)```", text, re.S)
    assert blocks, "the README holds no ```pycon block"
    parser = doctest.DocTestParser()
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    for n, block in enumerate(blocks):
        runner.run(parser.get_doctest(block, {}, f"README block {n + 1}", "README.md", 0))
    result = runner.summarize(verbose=False)
    assert result.failed == 0 and result.attempted > 0
