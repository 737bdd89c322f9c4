"""The token-and-duration transducer (TDT) loss, in PyTorch, with its check against rnnt_loss.

With blank(t,u), tok(t,u) (log-probability of the next target token y_{u+1}) and dur(d|t,u) from the
joiner at encoder frame t after u tokens, and alpha(0,0) = 0:

  alpha(t,u) = logsumexp( over d >= 1:  alpha(t-d,u)   + blank(t-d,u)   + dur(d|t-d,u),
                          over d >= 0:  alpha(t-d,u-1) + tok(t-d,u-1)   + dur(d|t-d,u-1) )
  log P(y|x) = logsumexp over d >= 1, T-d >= 0:  alpha(T-d,U) + blank(T-d,U) + dur(d|T-d,U)

The loop runs over frames; inside a frame the duration-0 token steps form a chain along u,
alpha(t,u) = c(t,u) (+) alpha(t,u-1) + w(t,u-1), which a cumulative logsumexp solves at once:
alpha(t,u) = S(u) + logcumsumexp_k (c(t,k) - S(k)) with S(u) = sum_{j<u} w(t,j). It runs in float64
so that the subtraction and addition of S keep their precision.

`python3 tdt_loss.py` checks that with durations forced to 0 for tokens and 1 for blanks the loss
equals torchaudio's rnnt_loss, values and gradients.
"""
import torch

NEG = -1e30


def tdt_loss(token_logp, duration_logp, targets, frame_lengths, target_lengths, blank,
             durations=(0, 1, 2, 3, 4), blank_duration_logp=None):
    """Mean over the batch of -log P(y|x).

    token_logp:     (B, T, U+1, V) log-softmax over the tokens and the blank
    duration_logp:  (B, T, U+1, K) log-softmax over the durations, used after tokens and (unless
                    blank_duration_logp is given) after blanks
    targets:        (B, U) int64 token ids; frame_lengths, target_lengths: (B,) int64
    """
    B, T, U1, _ = token_logp.shape
    device = token_logp.device
    blank_dur = duration_logp if blank_duration_logp is None else blank_duration_logp
    blank_lp = token_logp[..., blank].double()  # (B, T, U+1)
    index = targets.clamp(min=0).long()[:, None, :, None].expand(B, T, U1 - 1, 1)
    tok_lp = torch.gather(token_logp[:, :, :-1, :], 3, index)[..., 0].double()  # (B, T, U)
    tok_lp = torch.cat([tok_lp, torch.full((B, T, 1), NEG, dtype=torch.float64,
                                           device=device)], dim=2)  # (B, T, U+1), none after U
    dur_tok = duration_logp.double()
    dur_blank = blank_dur.double()
    # Token moves with each duration start from (t-d, u-1); blanks (d >= 1) from (t-d, u).
    tok_moves = [tok_lp + dur_tok[..., k] for k in range(len(durations))]  # (B, T, U+1)
    blank_moves = [blank_lp + dur_blank[..., k] for k in range(len(durations))]

    alphas = []
    for t in range(T):
        terms = []
        for k, d in enumerate(durations):
            if d == 0 or t - d < 0:
                continue
            prev = alphas[t - d]
            terms.append(prev + blank_moves[k][:, t - d])
            shifted = prev + tok_moves[k][:, t - d]  # lands on u+1
            terms.append(torch.cat([torch.full((B, 1), NEG, dtype=torch.float64, device=device),
                                    shifted[:, :-1]], dim=1))
        if terms:
            c = torch.logsumexp(torch.stack(terms), dim=0)
        else:
            c = torch.full((B, U1), NEG, dtype=torch.float64, device=device)
            c[:, 0] = 0.0
        if 0 in durations:
            w = tok_moves[list(durations).index(0)][:, t, :-1]  # (B, U): step u -> u+1 in place
            w = w.clamp(min=NEG / 4)
            s = torch.cat([torch.zeros((B, 1), dtype=torch.float64, device=device),
                           torch.cumsum(w, dim=1)], dim=1)  # S(u)
            alpha = s + torch.logcumsumexp(c - s, dim=1)
        else:
            alpha = c
        alphas.append(alpha)
    alpha = torch.stack(alphas, dim=1)  # (B, T, U+1)

    final = []
    batch = torch.arange(B, device=device)
    for k, d in enumerate(durations):
        if d == 0:
            continue
        t = frame_lengths - d
        ok = t >= 0
        tc = t.clamp(min=0)
        value = alpha[batch, tc, target_lengths] + blank_moves[k][batch, tc, target_lengths]
        final.append(torch.where(ok, value, torch.full_like(value, NEG)))
    log_prob = torch.logsumexp(torch.stack(final), dim=0)
    return (-log_prob).mean()


def _check():
    import torchaudio
    torch.manual_seed(0)
    B, T, U, V = 3, 12, 5, 7
    logits = torch.randn(B, T, U + 1, V, dtype=torch.float32, requires_grad=True)
    targets = torch.randint(0, V - 1, (B, U), dtype=torch.int32)
    frame_lengths = torch.tensor([12, 9, 7], dtype=torch.int32)
    target_lengths = torch.tensor([5, 3, 4], dtype=torch.int32)
    reference = torchaudio.functional.rnnt_loss(logits, targets, frame_lengths, target_lengths,
                                                blank=V - 1, reduction="mean")
    ref_grad, = torch.autograd.grad(reference, logits)
    # Durations forced: tokens take d = 0, blanks d = 1 (log 1 = 0, everything else impossible).
    forced_tok = torch.full((B, T, U + 1, 5), NEG)
    forced_tok[..., 0] = 0.0
    forced_blank = torch.full((B, T, U + 1, 5), NEG)
    forced_blank[..., 1] = 0.0
    ours = tdt_loss(torch.log_softmax(logits, -1), forced_tok, targets.long(),
                    frame_lengths.long(), target_lengths.long(), blank=V - 1,
                    blank_duration_logp=forced_blank)
    grad, = torch.autograd.grad(ours, logits)
    print(f"rnnt_loss {reference.item():.6f}  tdt_loss(forced durations) {ours.item():.6f}  "
          f"max gradient difference {(grad - ref_grad).abs().max().item():.2e}")
    assert abs(reference.item() - ours.item()) < 1e-4
    assert (grad - ref_grad).abs().max().item() < 1e-4
    # Free durations: the loss must stay finite and its gradient flow into the durations.
    dur_logits = torch.randn(B, T, U + 1, 5, requires_grad=True)
    free = tdt_loss(torch.log_softmax(logits, -1), torch.log_softmax(dur_logits, -1),
                    targets.long(), frame_lengths.long(), target_lengths.long(), blank=V - 1)
    g, = torch.autograd.grad(free, dur_logits)
    assert torch.isfinite(free) and g.abs().sum() > 0
    # And against a sum over every alignment, spelled out, on a small case.
    T1, U1 = 5, 2
    tok = torch.log_softmax(torch.randn(1, T1, U1 + 1, 4, dtype=torch.float64), -1)
    dur = torch.log_softmax(torch.randn(1, T1, U1 + 1, 5, dtype=torch.float64), -1)
    y = torch.tensor([[1, 2]])

    def paths(t, u):  # log-probabilities of every way to finish from (t, u)
        out = []
        for d in range(5):
            if t + d > T1 or (d == 0 and u == U1):
                continue
            if u < U1 and t + d < T1 or (u < U1 and d == 0):
                step = tok[0, t, u, y[0, u]] + dur[0, t, u, d]
                out += [step + rest for rest in paths(t + d, u + 1)] if t + d < T1 else []
            if d >= 1:
                step = tok[0, t, u, 3] + dur[0, t, u, d]
                if t + d == T1 and u == U1:
                    out.append(step)
                elif t + d < T1:
                    out += [step + rest for rest in paths(t + d, u)]
        return out

    brute = -torch.logsumexp(torch.stack(paths(0, 0)), 0)
    small = tdt_loss(tok, dur, y, torch.tensor([T1]), torch.tensor([U1]), blank=3)
    print(f"tdt_loss(free durations) {free.item():.6f}; small case {small.item():.9f} "
          f"against every alignment summed {brute.item():.9f}")
    assert abs(small.item() - brute.item()) < 1e-9


if __name__ == "__main__":
    _check()
