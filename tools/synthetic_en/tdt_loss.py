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

The gradient comes from the backward variables beta(t,u) (log-weight of finishing from (t,u)),
found by the same loop run from the last frame down: each move's share of log P(y|x) is
exp(alpha(from) + move + beta(to) - log P). Neither loop builds an autograd graph; one over the
frames' slices had cost more than the sums themselves.

`python3 tdt_loss.py` checks that with durations forced to 0 for tokens and 1 for blanks the loss
equals torchaudio's rnnt_loss, values and gradients; with free durations, its gradient against the
numerical one; and on a small case, the loss against a sum over every alignment.
"""
import torch

NEG = -1e30


def tdt_loss(token_logits, duration_logp, targets, frame_lengths, target_lengths, blank,
             durations=(0, 1, 2, 3, 4), blank_duration_logp=None, sigma=0.0):
    """Mean over the batch of -log P(y|x).

    token_logits:   (B, T, U+1, V) the joiner's logits over the tokens and the blank, normalised
                    here (log-softmax, less sigma: TDT's under-normalisation in training)
    duration_logp:  (B, T, U+1, K) log-softmax over the durations, used after tokens and (unless
                    blank_duration_logp is given) after blanks
    targets:        (B, U) int64 token ids; frame_lengths, target_lengths: (B,) int64
    """
    B, T, U1, _ = token_logits.shape
    blank_dur = duration_logp if blank_duration_logp is None else blank_duration_logp
    # Only the blank's and the next target's log-probabilities are used: gathered from the logits
    # less their log-sum, the (B, T, U+1, V) log-softmax is never made.
    norm = torch.logsumexp(token_logits, dim=-1).double() + sigma  # (B, T, U+1)
    blank_lp = token_logits[..., blank].double() - norm
    index = targets.clamp(min=0).long()[:, None, :, None].expand(B, T, U1 - 1, 1)
    tok_lp = torch.gather(token_logits[:, :, :-1, :], 3, index)[..., 0].double() - norm[..., :-1]
    tok_lp = torch.cat([tok_lp, torch.full((B, T, 1), NEG, dtype=torch.float64,
                                           device=token_logits.device)], dim=2)  # none after U
    # (K, B, T, U+1): log-weights of each move out of (t, u), a token or a blank with duration k
    tok_moves = tok_lp[None] + duration_logp.double().permute(3, 0, 1, 2)
    blank_moves = blank_lp[None] + blank_dur.double().permute(3, 0, 1, 2)
    log_prob = _Lattice.apply(tok_moves, blank_moves, frame_lengths.long(),
                              target_lengths.long(), tuple(durations))
    return (-log_prob).mean()


def _forward_variables(tok_moves, blank_moves, frame_lengths, target_lengths, durations):
    """alpha (B, T, U+1): log-weight of reaching frame t with u tokens emitted; log P (B,)."""
    _, B, T, U1 = tok_moves.shape
    alpha = torch.full((B, T, U1), NEG, dtype=torch.float64)
    for t in range(T):
        terms = []
        for k, d in enumerate(durations):
            if d == 0 or t - d < 0:
                continue
            prev = alpha[:, t - d]
            terms.append(prev + blank_moves[k, :, t - d])
            shifted = prev + tok_moves[k, :, t - d]  # lands on u+1
            terms.append(torch.nn.functional.pad(shifted[:, :-1], (1, 0), value=NEG))
        if terms:
            c = torch.logsumexp(torch.stack(terms), dim=0)
        else:
            c = torch.full((B, U1), NEG, dtype=torch.float64)
            c[:, 0] = 0.0
        if 0 in durations:
            # duration-0 tokens chain along u in the frame: alpha(u) = c(u) (+) alpha(u-1) + w(u-1)
            w = tok_moves[durations.index(0), :, t, :-1].clamp(min=NEG / 4)
            s = torch.nn.functional.pad(torch.cumsum(w, dim=1), (1, 0))  # S(u) = sum_{j<u} w(j)
            c = s + torch.logcumsumexp(c - s, dim=1)
        alpha[:, t] = c
    batch = torch.arange(B)
    final = []
    for k, d in enumerate(durations):
        if d == 0:
            continue
        t = frame_lengths - d
        tc = t.clamp(min=0)
        value = alpha[batch, tc, target_lengths] + blank_moves[k, batch, tc, target_lengths]
        final.append(torch.where(t >= 0, value, torch.full_like(value, NEG)))
    return alpha, torch.logsumexp(torch.stack(final), dim=0)


def _backward_variables(tok_moves, blank_moves, frame_lengths, target_lengths, durations):
    """beta (B, T+D+1, U+2), padded with NEG: log-weight of finishing from frame t with u tokens
    emitted, and the same with the end itself (frame T_b, all U_b tokens) at 0, which only a
    blank may reach."""
    _, B, T, U1 = tok_moves.shape
    pad = max(durations) + 1
    beta = torch.full((B, T + pad, U1 + 1), NEG, dtype=torch.float64)
    beta_end = beta.clone()
    batch = torch.arange(B)
    beta_end[batch, frame_lengths, target_lengths] = 0.0
    live = torch.arange(T)[None, :] < frame_lengths[:, None]  # (B, T)
    for t in range(T - 1, -1, -1):
        terms = []
        for k, d in enumerate(durations):
            if d >= 1:
                terms.append(blank_moves[k, :, t] + beta_end[:, t + d, :U1])
                terms.append(tok_moves[k, :, t] + beta[:, t + d, 1:])
        c = torch.logsumexp(torch.stack(terms), dim=0)
        if 0 in durations:
            # beta(u) = c(u) (+) w(u) + beta(u+1), solved from the last u down
            w = tok_moves[durations.index(0), :, t, :-1].clamp(min=NEG / 4)
            s = torch.nn.functional.pad(torch.cumsum(w, dim=1), (1, 0))
            c = torch.flip(torch.logcumsumexp(torch.flip(c + s, [1]), dim=1), [1]) - s
        beta[:, t, :U1] = torch.where(live[:, t, None], c, beta[:, t, :U1])
        beta_end[:, t, :U1] = torch.where(live[:, t, None], c, beta_end[:, t, :U1])
    return beta, beta_end


class _Lattice(torch.autograd.Function):
    """log P(y|x) of each utterance from the moves' log-weights, by the forward variables; the
    gradient by the backward ones: d log P / d move = exp(alpha(from) + move + beta(to) - log P).
    Both loops run without autograd (its graph of small slices cost more than the sums)."""

    @staticmethod
    def forward(ctx, tok_moves, blank_moves, frame_lengths, target_lengths, durations):
        alpha, log_prob = _forward_variables(tok_moves, blank_moves, frame_lengths,
                                             target_lengths, durations)
        ctx.save_for_backward(tok_moves, blank_moves, frame_lengths, target_lengths, alpha,
                              log_prob)
        ctx.durations = durations
        return log_prob

    @staticmethod
    def backward(ctx, grad_log_prob):
        tok_moves, blank_moves, frame_lengths, target_lengths, alpha, log_prob = ctx.saved_tensors
        beta, beta_end = _backward_variables(tok_moves, blank_moves, frame_lengths,
                                             target_lengths, ctx.durations)
        _, B, T, U1 = tok_moves.shape
        base = alpha - log_prob[:, None, None]
        scale = grad_log_prob.double()[:, None, None]
        grad_tok = torch.empty_like(tok_moves)
        grad_blank = torch.empty_like(blank_moves)
        for k, d in enumerate(ctx.durations):
            to_tok = beta[:, d:d + T, 1:]
            to_blank = beta_end[:, d:d + T, :U1] if d >= 1 else torch.full_like(base, NEG)
            grad_tok[k] = torch.exp(base + tok_moves[k] + to_tok) * scale
            grad_blank[k] = torch.exp(base + blank_moves[k] + to_blank) * scale
        return grad_tok, grad_blank, None, None, None


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
    ours = tdt_loss(logits, forced_tok, targets.long(),
                    frame_lengths.long(), target_lengths.long(), blank=V - 1,
                    blank_duration_logp=forced_blank)
    grad, = torch.autograd.grad(ours, logits)
    print(f"rnnt_loss {reference.item():.6f}  tdt_loss(forced durations) {ours.item():.6f}  "
          f"max gradient difference {(grad - ref_grad).abs().max().item():.2e}")
    assert abs(reference.item() - ours.item()) < 1e-4
    assert (grad - ref_grad).abs().max().item() < 1e-4
    # Free durations: the loss must stay finite, and its gradient (from the backward variables)
    # must be the numerical one, tokens and durations, with unequal lengths in the batch.
    dur_logits = torch.randn(B, T, U + 1, 5, requires_grad=True)
    free = tdt_loss(torch.log_softmax(logits, -1), torch.log_softmax(dur_logits, -1),
                    targets.long(), frame_lengths.long(), target_lengths.long(), blank=V - 1)
    assert torch.isfinite(free)
    assert torch.autograd.gradcheck(
        lambda tok, dur: tdt_loss(tok, torch.log_softmax(dur, -1), targets.long(),
                                  frame_lengths.long(), target_lengths.long(), blank=V - 1),
        (logits.detach().double().requires_grad_(), dur_logits.detach().double().requires_grad_()))
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
