// The packer's worker pools as the packer service keeps them: a task queued
// just as the pool ends an idle thread must run, not fail with "Terminating
// worker thread".
//
//   node tst_worker_pool.mjs <packer-service.cjs> <packer folder>
//
// runs the same requests twice, in fresh processes: once on the pool module as
// it is (to show that the requests meet the fault) and once with the service's
// fix, which must meet no failure.
import { spawnSync } from 'node:child_process';
import nodeModule from 'node:module';
import { fileURLToPath } from 'node:url';

const [serviceScript, packerFolder, mode] = process.argv.slice(2);
const ROUNDS = 5;
const IDLE_MS = 50;

async function failedTasks() {
  const require = nodeModule.createRequire(`${packerFolder}/package.json`);
  const { Tinypool } = await import(require.resolve('tinypool'));
  const pool = new Tinypool({
    filename: new URL('./busy-worker.mjs', import.meta.url).href,
    runtime: 'worker_threads',
    minThreads: 1,
    maxThreads: 2,
    idleTimeout: IDLE_MS,
    teardown: 'onWorkerTermination',
  });
  let failures = 0;
  for (let round = 0; round < ROUNDS; ++round) {
    await Promise.all([pool.run({ ms: 20 }), pool.run({ ms: 20 })]);
    // Both threads are idle now; the pool set its timer to end one of them
    // before this timer, so the tasks below are queued while that thread runs
    // its teardown (100 ms). They outlast the teardown, so some still wait
    // when its reply comes back.
    await new Promise((resolve) => setTimeout(resolve, IDLE_MS + 10));
    const results = await Promise.allSettled([1, 2, 3, 4].map(() => pool.run({ ms: 300 })));
    failures += results.filter((result) => result.status === 'rejected').length;
    await new Promise((resolve) => setTimeout(resolve, 200));
  }
  await pool.destroy();
  return failures;
}

if (mode === 'plain' || mode === 'fixed') {
  if (mode === 'fixed') {
    const { TINYPOOL_ENTRY, withoutOrphanDispatch } = nodeModule.createRequire(import.meta.url)(serviceScript);
    nodeModule.registerHooks({
      load(url, context, nextLoad) {
        const loaded = nextLoad(url, context);
        if (!url.endsWith(TINYPOOL_ENTRY)) return loaded;
        return { ...loaded, source: withoutOrphanDispatch(String(loaded.source)), shortCircuit: true };
      },
    });
  }
  console.log(await failedTasks());
} else {
  const run = (which) => {
    const child = spawnSync(process.execPath, [fileURLToPath(import.meta.url), serviceScript, packerFolder, which], {
      encoding: 'utf8',
    });
    if (child.status !== 0) throw new Error(`the ${which} run failed: ${child.stderr}`);
    return Number(child.stdout.trim().split('\n').pop());
  };
  const plain = run('plain');
  const fixed = run('fixed');
  console.log(`failed tasks in ${ROUNDS} rounds: ${plain} on the pool as it is, ${fixed} with the fix`);
  if (plain === 0) {
    console.error('The requests no longer meet the fault: the pool module may have fixed it; check, then drop the fix.');
    process.exit(1);
  }
  if (fixed !== 0) process.exit(1);
}
