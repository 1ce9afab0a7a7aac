#!/usr/bin/env python3
"""Mutation run: one mutant at a time in a checkout built in Debug with tests (build/, Ninja).

  cd <checkout> && python3 tools/mutants/run_mutants.py [--only id,id] [--baseline] [--programs p,p]

MUT_TREE (default: the current directory) is the checkout; MUT_OUT (default: build/mutants) the results.
Every mutant edits src/ by exact text: when the code has changed, a mutant whose text no longer
occurs is reported and skipped; rewrite it or add new ones in mutants.py.

For each mutant (scripts/mutants.py): patch src/, `ninja` the test programs that link the file,
run them with gtest XML output and a timeout, restore the file. A program that crashes or times
out without XML is re-run one test at a time. Results: $MUT_OUT/<id>.json (resumable:
mutants with a result are skipped; delete the file to rerun one).
"""
import json, os, subprocess, sys, time, xml.etree.ElementTree as ET
sys.path.insert(0, os.path.dirname(__file__))
from mutants import M

TREE = os.path.abspath(os.environ.get('MUT_TREE', os.getcwd()))
BUILD = TREE + '/build'
OUT = os.environ.get('MUT_OUT', TREE + '/build/mutants')
BUS = TREE + '/tests/run-with-bus'
PROGRAMS = {  # name: (wrapper, timeout for the whole program, timeout per single test)
    'behaviour_tests': ([], 120, 60),
    'platform_tests': ([], 120, 60),
    'qt_platform_tests': ([BUS], 180, 60),
    'network_tests': ([BUS], 420, 120),
    'desktop_tests': ([BUS], 300, 120),
    # one process per test, as ctest runs them: in one process the third test fails (measured)
    'gui_tests': ([TREE + '/tests/run-with-xvfb', BUS], 300, 120),
    # the built program end to end (tests/app/program_test.sh): one result, app.Program
    'app': ([TREE + '/tests/run-with-xvfb'], 180, 180),
    # the same on a 3840x2160 screen at 200 % (tests/app/ultra_hd_test.sh): app.UltraHD
    'app_uhd': (['env', 'XVFB_SCREEN=3840x2160x24', TREE + '/tests/run-with-xvfb'], 180, 180),
}
APPS = {'app': ('app.Program', 'program_test.sh'), 'app_uhd': ('app.UltraHD', 'ultra_hd_test.sh')}
PER_TEST_ONLY = {'gui_tests'}
LOGIC = ['behaviour_tests', 'platform_tests', 'network_tests']
# Code the network tests never reach or never observe: the shell (status, dialogs, menu,
# lifecycle), the hourly/next-day timers (an hour away), the log's folding.  Their mutants skip
# network_tests to save ~25 s each.
NO_NETWORK = ('src/shell/', 'src/triggers/check_timers', 'src/platform/log.cpp')
def programs_for(path):
    if path == 'src/shell/user_status.cpp': return ['behaviour_tests', 'qt_platform_tests']
    if path == 'src/shell/app_delegate.cpp': return LOGIC
    if path.startswith(NO_NETWORK): return ['behaviour_tests', 'platform_tests']
    if path.startswith('src/platform/linux/curl_http_client'): return ['network_tests']
    if path.startswith(('src/main.cpp', 'src/platform/linux/unix_signals',
                        'src/platform/linux/command_line')): return ['app']
    if path.startswith('src/platform/linux/single_instance'): return ['qt_platform_tests', 'app']
    if path.startswith(('src/platform/linux/qt_application', 'src/platform/linux/task_bar_window',
                        'src/platform/linux/preferences_window',
                        'src/platform/linux/desktop_notifications')): return ['gui_tests', 'app']
    if path.startswith('src/platform/linux/dialogs'): return ['qt_platform_tests', 'gui_tests', 'app']
    if path.startswith('src/platform/linux/system_events'): return ['qt_platform_tests', 'gui_tests', 'app']
    if path.startswith(('src/platform/linux/logind',
                        'src/platform/linux/network_monitor', 'src/platform/linux/qt_main_loop',
                        'src/platform/linux/qt_bundle', 'src/platform/linux/preference_store')):
        return ['qt_platform_tests']
    if path.startswith('src/platform/linux/stdout_log'): return ['platform_tests']
    if path.startswith('src/platform/linux/desktop/linux_desktop'): return ['desktop_tests', 'app_uhd']
    if path.startswith('src/platform/linux/desktop/'): return ['desktop_tests']
    if path.startswith('src/platform/linux/qt_status_item'): return ['gui_tests']
    return LOGIC

def run_program(prog, tag, filt=None, timeout=None):
    wrapper, whole, single = PROGRAMS[prog]
    xml = f'{OUT}/xml/{tag}.{prog}.xml'
    if os.path.exists(xml): os.remove(xml)
    cmd = wrapper + [f'{BUILD}/tests/{prog}', f'--gtest_output=xml:{xml}']
    if filt: cmd.append(f'--gtest_filter={filt}')
    if prog in APPS: cmd = wrapper + [TREE + '/tests/app/' + APPS[prog][1], BUILD + '/daylume']
    t0 = time.time()
    try:
        p = subprocess.run(cmd, cwd=f'{BUILD}/tests', capture_output=True, text=True,
                           timeout=timeout or whole, errors='replace', start_new_session=True)
        rc, out = p.returncode, p.stdout + p.stderr
    except subprocess.TimeoutExpired as e:
        rc, out = 'timeout', (e.stdout or b'').decode(errors='replace') if isinstance(e.stdout, bytes) else (e.stdout or '')
    dt = time.time() - t0
    with open(f'{OUT}/logs/{tag}.{prog}.log', 'w') as f: f.write(out[-200000:])
    results = {}
    if prog in APPS:
        results = {APPS[prog][0]: {0: 'passed', 77: 'skipped'}.get(rc, 'failed')}
    elif os.path.exists(xml):
        try:
            for tc in ET.parse(xml).getroot().iter('testcase'):
                name = tc.get('classname') + '.' + tc.get('name')
                if tc.get('result') == 'skipped' or tc.find('skipped') is not None:
                    results[name] = 'skipped'
                elif tc.find('failure') is not None or tc.find('error') is not None:
                    results[name] = 'failed'
                else:
                    results[name] = 'passed'
        except ET.ParseError:
            results = {}
    return rc, dt, results

def list_tests(prog):
    wrapper = PROGRAMS[prog][0]
    out = subprocess.run(wrapper + [f'{BUILD}/tests/{prog}', '--gtest_list_tests'],
                         capture_output=True, text=True, cwd=f'{BUILD}/tests').stdout
    names, suite = [], None
    for line in out.splitlines():
        if not line.startswith(' '): suite = line.split('#')[0].strip()
        else: names.append(suite + line.split('#')[0].strip())
    return names

def run_all(tag, progs):
    res = {}
    for prog in progs:
        if prog in PER_TEST_ONLY:
            rc, dt, results = 'per-test', 0.0, {}
        else:
            rc, dt, results = run_program(prog, tag)
        entry = {'rc': rc, 'seconds': round(dt, 1), 'tests': results}
        if prog in PER_TEST_ONLY or not results or rc == 'timeout' or (rc not in (0, 1)):
            # crash or timeout: one test at a time, so that the culprit is named
            per = {}
            for name in list_tests(prog):
                r, d, rr = run_program(prog, f'{tag}.single', name, PROGRAMS[prog][2])
                per[name] = rr.get(name, 'crashed' if r != 'timeout' else 'timeout')
            entry['tests'] = per
            entry['per_test'] = True
        res[prog] = entry
    return res

def build(progs):
    targets = sorted({'daylume' if p in APPS else p for p in progs})
    p = subprocess.run(['nice', '-n', '10', 'ninja', '-C', BUILD, '-j2'] + targets,
                       capture_output=True, text=True)
    return p.returncode == 0, p.stdout[-3000:] + p.stderr[-3000:]

def main():
    os.makedirs(OUT + '/xml', exist_ok=True); os.makedirs(OUT + '/logs', exist_ok=True)
    args = sys.argv[1:]
    only = None
    if '--only' in args: only = set(args[args.index('--only') + 1].split(','))
    if '--baseline' in args:
        progs = args[args.index('--programs') + 1].split(',') if '--programs' in args else list(PROGRAMS)
        ok, log = build(progs)
        assert ok, log
        n = len([f for f in os.listdir(OUT) if f.startswith('baseline')])
        tag = f'baseline{n}'
        res = run_all(tag, progs)
        json.dump({'id': tag, 'programs': res}, open(f'{OUT}/{tag}.json', 'w'), indent=1)
        for p, e in res.items():
            bad = [t for t, r in e['tests'].items() if r not in ('passed', 'skipped')]
            print(p, e['rc'], e['seconds'], 's', len(e['tests']), 'tests', 'failing:', bad)
        return
    for mu in M:
        if only and mu['id'] not in only: continue
        dest = f"{OUT}/{mu['id']}.json"
        if os.path.exists(dest): continue
        path = os.path.join(TREE, mu['path'])
        original = open(path, encoding='utf-8').read()
        text = original
        if any(text.count(old) != 1 for old, _ in mu['edits']):
            print(f"{mu['id']:34} SKIPPED: its text no longer occurs once in {mu['path']}", flush=True)
            continue
        for old, new in mu['edits']:
            text = text.replace(old, new)
        progs = programs_for(mu['path'])
        t0 = time.time()
        try:
            open(path, 'w', encoding='utf-8').write(text)
            ok, log = build(progs)
            if not ok:
                res = {'build_error': log}
            else:
                res = run_all(mu['id'], progs)
        finally:
            open(path, 'w', encoding='utf-8').write(original)
        rec = {'id': mu['id'], 'path': mu['path'], 'note': mu['note'], 'edits': mu['edits'],
               'seconds': round(time.time() - t0, 1), 'programs': res}
        json.dump(rec, open(dest, 'w'), indent=1, ensure_ascii=False)
        if 'build_error' in res:
            print(mu['id'], 'BUILD ERROR', flush=True)
        else:
            killers = [t for e in res.values() for t, r in e['tests'].items() if r not in ('passed', 'skipped')]
            print(f"{mu['id']:34} {rec['seconds']:6}s killed by {len(killers)}: {', '.join(killers)}", flush=True)
    build([p for p in PROGRAMS if p != 'gui_tests'] + (['gui_tests'] if os.path.exists(BUILD + '/tests/gui_tests') else []))  # the unmutated programs again

if __name__ == '__main__':
    main()
